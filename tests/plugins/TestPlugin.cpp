// One source for the test plug-ins: each build of it (chosen by a PLUGIN_* definition) behaves
// in one of the ways the player must handle, from a well-behaved plug-in to one that crashes,
// hangs or reports a picture of absurd size. After every call it writes its call counts to
// "<library>.calls" beside itself, so that the tests see from outside the host process how often
// it was called and that its global data lived on.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

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
#elif defined(PLUGIN_LONG_NAME)
const std::string kLongName(100, 'n');
const char* const kName = kLongName.c_str();
const char kCaption[] = "Long name";
#elif defined(PLUGIN_LONG_CAPTION)
const char kName[] = PLUGIN_KIND;
// 150 times "あ" in Shift-JIS: 300 bytes, and the 255th byte is a lead byte.
const std::string kLongCaption = [] {
  std::string text;
  for (int i = 0; i < 150; ++i) text += "\x82\xA0";
  return text;
}();
const char* const kCaption = kLongCaption.c_str();
#else
const char kName[] = PLUGIN_KIND;  // the kind's own name, unique among the test plug-ins
const char kCaption[] = PLUGIN_KIND;
#endif

// A 1 x 1 BMP, enough to tell the library's own picture from the program's.
const unsigned char kImage[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0,   0, 1, 0,
                                0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,  0, 0,   0, 0, 0,
                                0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 255, 0};

void WriteCounts() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&WriteCounts), &info) == 0 || info.dli_fname == nullptr) return;
  const std::string file = std::string(info.dli_fname) + ".calls";
  if (std::FILE* out = std::fopen(file.c_str(), "w")) {
    std::fprintf(out, "%d %d\n", id_calls, exec_calls);
    std::fclose(out);
  }
}

// A real fault: a store to an unmapped address near zero (not null, so that no sanitizer check
// turns it into an error report of its own).
[[maybe_unused]] void Crash() {
  volatile std::uintptr_t address = 16;
  *reinterpret_cast<volatile int*>(address) = 1;
}

[[maybe_unused]] void Hang() {
  for (;;) pause();
}

#if defined(PLUGIN_LOAD_CRASH)
// The library's own start-up crashes, before any function of it is called.
[[maybe_unused]] const int kCrashedAtLoad = [] {
  Crash();
  return 0;
}();
#endif

// A child that outlives the call: it writes its process ID to "<library>.child" and waits.
[[maybe_unused]] void StartChild() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&StartChild), &info) == 0 || info.dli_fname == nullptr) return;
  const std::string file = std::string(info.dli_fname) + ".child";
  if (fork() != 0) return;
  if (std::FILE* out = std::fopen(file.c_str(), "w")) {
    std::fprintf(out, "%d\n", static_cast<int>(getpid()));
    std::fclose(out);
  }
  Hang();
}
}  // namespace

extern "C" {

#if !defined(PLUGIN_NO_ID)
void QVR_Plugin_ID(TPluginInfo* info) {
  ++id_calls;
  WriteCounts();
#if defined(PLUGIN_THROWS)
  throw std::runtime_error("refused");
#elif defined(PLUGIN_ID_CRASH)
  Crash();
#elif defined(PLUGIN_ID_HANG)
  Hang();
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
  WriteCounts();
#if defined(PLUGIN_EXEC_THROWS)
  throw std::logic_error("failed");
#elif defined(PLUGIN_EXEC_CRASH)
  Crash();
#elif defined(PLUGIN_EXEC_HANG)
  Hang();
#elif defined(PLUGIN_EXEC_FORKS)
  StartChild();
#endif
}
#endif

#if defined(PLUGIN_VALID_IMAGE)
const void* QVR_Plugin_PadImage(size_t* size) {
  *size = sizeof kImage;
  return kImage;
}
#elif defined(PLUGIN_BAD_IMAGE)
// Bytes that are no picture of any format.
const void* QVR_Plugin_PadImage(size_t* size) {
  static const char kNoPicture[] = "no picture at all";
  *size = sizeof kNoPicture;
  return kNoPicture;
}
#elif defined(PLUGIN_HUGE_IMAGE)
// Claims far more than the picture it points to: the player must not believe it.
const void* QVR_Plugin_PadImage(size_t* size) {
  *size = SIZE_MAX / 2;
  return kImage;
}
#endif
}
