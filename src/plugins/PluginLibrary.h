// The inside of a plug-in host: one plug-in library, loaded once with dlopen and kept loaded for
// the life of the host process, so its global data persists from call to call. Each call gives
// the reply the host sends back; an exception escaping the plug-in becomes an Exception reply.
// A crash or a hang inside the plug-in is not caught here: it ends or stalls the host, and the
// player sees that from outside.
#pragma once

#include <string>

#include "plugins/PluginProtocol.h"

namespace qvr {

class PluginLibrary {
 public:
  // Loads the library at `path`; a failure is kept and answered by every call.
  explicit PluginLibrary(const std::string& path);
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Calls QVR_Plugin_ID (and QVR_Plugin_PadImage when the library has it) and reports what the
  // plug-in said, every text and the picture within the protocol's bounds. The picture is read
  // only when its reported size is within kPluginImageLimit.
  PluginIdentifyReply Identify();
  // Calls QVR_Plugin_Exec once both exports are there.
  PluginRunReply Run();

 private:
  // The loader's last message without the library's path in front of it.
  std::string LoaderReason() const;

  std::string path_;
  void* handle_ = nullptr;
  std::string load_error_;
};

// The name of the class of the exception being handled, with its message when it has one
// ("std::runtime_error: refused"). Call it only inside a catch block.
std::string CurrentExceptionDescription();

}  // namespace qvr
