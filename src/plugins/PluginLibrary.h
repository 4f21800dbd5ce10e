// Loads plug-in libraries and calls their exports. A library that identified itself stays loaded
// for the life of the program (it supplies the pad picture, and its global data persists
// between runs); a run loads it once more and drops that extra reference afterwards. Errors are raised as
// qvr::Error carrying the text the user is shown: the load errors' own texts, or the class name
// of an exception that escaped a plug-in's call. GUI thread only.
#pragma once

#include <functional>
#include <string>

#include "util/Error.h"

namespace qvr {

// What a plug-in says of itself.
struct PluginIdentity {
  bool IsPlugin = false;
  std::string PluginName;     // identifier, as the plug-in wrote it
  std::string PluginCaption;  // Shift-JIS
  void* PluginModule = nullptr;
  std::string PadImage;       // PNG or BMP bytes of the pad picture; empty: the program's own
};

// Loads the library at `path` (file-system encoding) and asks it to identify itself. Raises
// Error "[path] をロードできません" when it cannot be loaded, "[path] はＱＶＲ用のプラグインでは
// ありません" when it lacks QVR_Plugin_ID (the library is freed then), or the exception's class
// name when the call throws.
PluginIdentity QueryPluginLibrary(const std::string& path);

// Loads the library again, calls QVR_Plugin_Exec, lets `process_pending` run, and frees the
// extra reference. Raises Error "[path] を実行できません" when the library cannot be loaded or
// lacks an export, or the exception's class name when the call throws.
void RunPluginLibrary(const std::string& path, const std::function<void()>& process_pending);

// The name of the class of the exception being handled, for the error box ("std::bad_alloc").
// Call it only inside a catch block.
std::string CurrentExceptionClassName();

// True for a usable plug-in identifier: letters, digits and underscores, not starting with a digit.
bool IsPluginIdentifier(const std::string& name);

}  // namespace qvr
