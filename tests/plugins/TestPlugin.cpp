// One source for the test plug-ins: each build of it (chosen by a PLUGIN_* definition) behaves
// in one of the ways the host must handle. Counters let the tests see how often it was called.
#include <stdexcept>

#include "QVRPluginIF.h"

namespace {
int id_calls = 0;
int exec_calls = 0;

#if defined(PLUGIN_VALID_IMAGE)
const char kName[] = "Alpha";
const char kCaption[] = "\x83\x41\x83\x8B\x83\x74\x83\x40";  // アルファ
#elif defined(PLUGIN_DUPLICATE)
const char kName[] = "Alpha";
const char kCaption[] = "Alpha again";
#elif defined(PLUGIN_BADNAME)
const char kName[] = "9 lives";
const char kCaption[] = "Bad name";
#elif defined(PLUGIN_VALID)
const char kName[] = "Beta";
const char kCaption[] = "Beta caption";
#else
const char kName[] = PLUGIN_KIND;  // the kind's own name, unique among the test plug-ins
const char kCaption[] = PLUGIN_KIND;
#endif

// A 1 x 1 BMP, enough to tell the library's own picture from the program's.
const unsigned char kImage[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0,
                                0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                0, 0, 0, 0, 255, 0};
}  // namespace

extern "C" {

int QVR_Test_IdCalls() { return id_calls; }
int QVR_Test_ExecCalls() { return exec_calls; }

#if !defined(PLUGIN_NO_ID)
void QVR_Plugin_ID(TPluginInfo* info) {
  ++id_calls;
#if defined(PLUGIN_THROWS)
  throw std::runtime_error("refused");
#endif
  info->IsPlugin = 1;
#if defined(PLUGIN_DECLINE)
  info->IsPlugin = 0;
#endif
  info->PluginName = kName;
  info->PluginCaption = kCaption;
}
#endif

#if !defined(PLUGIN_NO_EXEC)
void QVR_Plugin_Exec(void) {
  ++exec_calls;
#if defined(PLUGIN_EXEC_THROWS)
  throw std::logic_error("failed");
#endif
}
#endif

#if defined(PLUGIN_VALID_IMAGE)
const void* QVR_Plugin_PadImage(size_t* size) {
  *size = sizeof kImage;
  return kImage;
}
#endif
}
