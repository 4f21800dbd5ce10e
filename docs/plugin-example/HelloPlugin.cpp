// A complete QVR plug-in: it identifies itself as "Hello", draws no picture of its own (the
// player shows its plug picture), and counts its runs, which shows that a plug-in's global data
// lives on from run to run (in
// its host process, as long as the plug-in is listed). Build: see docs/plugins.md.
#include <cstdio>

#include "QVRPluginIF.h"

namespace {
int runs = 0;
// "こんにちは" in Shift-JIS: captions are code page 932 text.
const char kCaption[] = "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD";
}  // namespace

extern "C" void QVR_Plugin_ID(TPluginInfo* info) {
  info->IsPlugin = 1;
  info->PluginName = "Hello";
  info->PluginCaption = kCaption;
}

extern "C" void QVR_Plugin_Exec(void) {
  ++runs;
  std::fprintf(stderr, "Hello from a QVR plug-in (run %d)\n", runs);
}
