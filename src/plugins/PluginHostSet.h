// The player's side of the plug-ins: a host process per plug-in library (qvr-plugin-host, found
// beside the program), kept while the library is listed so that its global data persists from
// run to run and across refreshes, as it would in a library loaded for good.
//
// Waiting. The player never blocks on a plug-in: every wait polls the hosts' sockets in short
// slices and lets the GUI's pending work run between them, so windows repaint and ticks and
// clicks go on. That work may call in again (a click on another plug-in, the options applied):
// a run of another plug-in nests and works; a request to a host that is already answering is
// refused (Run) or skipped; a refresh asked for while any wait is in progress is deferred and run
// once the outermost wait is over (DeferRefresh / TakeDeferredRefresh).
//
// Time limits. Identification has a fixed limit for each library: a host that has not answered
// by then is killed and the library reported as not answering. A run has no fixed end, since a plug-in's work may
// take a while: when it has not returned after `limits.run`, the user is asked whether to end it,
// and asked again after twice as long, and so on. A host that dies is reaped and its end named.
// GUI thread only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugins/PluginHost.h"
#include "util/FileStamp.h"

namespace qvr {

// What a plug-in says of itself, within the protocol's bounds.
struct PluginIdentity {
  bool IsPlugin = false;
  std::string PluginName;     // identifier, as the plug-in wrote it
  std::string PluginCaption;  // Shift-JIS, cut at a character boundary to kPluginCaptionLimit bytes
  std::string PadImage;       // PNG or BMP bytes of the pad picture; empty: the program's own
  std::string Problem;        // why the library cannot be used (IsPlugin is false then): one line
  std::string Notice;         // what of an accepted plug-in is not used (an oversized picture)
};

struct PluginRunResult {
  bool ran = false;     // QVR_Plugin_Exec returned
  std::string problem;  // why it did not, for the error box; empty when there is nothing to tell
};

struct PluginLimits {
  std::chrono::milliseconds identify{5000};  // QVR_Plugin_ID, for each library
  std::chrono::milliseconds run{10000};      // QVR_Plugin_Exec, before the user is first asked
  std::chrono::milliseconds slice{20};       // the longest stretch without running pending work
};

class PluginHostSet {
 public:
  // `program`: the host executable; empty for qvr-plugin-host beside the running program.
  explicit PluginHostSet(std::filesystem::path program = {});
  // Ends every host: each is asked to end by closing its socket, and killed when it has not
  // within a moment.
  ~PluginHostSet();
  PluginHostSet(const PluginHostSet&) = delete;
  PluginHostSet& operator=(const PluginHostSet&) = delete;

  PluginLimits limits;

  // Asks the library at each path to identify itself, each in its host, up to 16 at the same
  // time, each within `limits.identify`; a host is started for a library that has none (or whose
  // file changed since its host loaded it), and the host of a library that cannot be used or
  // declines is ended at once. The results come in the order of `paths`. Raises Error when a
  // host cannot be started (the program is missing, or no process can be made).
  std::vector<PluginIdentity> Identify(const std::vector<std::string>& paths,
                                       const std::function<void()>& pending_work);

  // Runs the plug-in at `path` (a copy: the caller's list may be rebuilt meanwhile) in its host (a new one when it has
  // none any more, which identifies the library first, as a loaded library would have been). `end_hung` is asked, with
  // the question to show, whether to end a run that takes too long; it returns true to end it.
  PluginRunResult Run(std::string path, const std::function<void()>& pending_work,
                      const std::function<bool(const std::string& question)>& end_hung);

  // Ends the hosts of the libraries not in `paths`.
  void Keep(const std::vector<std::string>& paths);

  // True while an identification or a run is waiting for a host.
  bool Waiting() const { return waiting_ > 0; }
  // A refresh asked for during a wait: remembered, and taken (once) when no wait is left.
  void DeferRefresh() { refresh_deferred_ = true; }
  bool TakeDeferredRefresh();
  // The program is closing: every wait ends at once, and none starts any more.
  void CancelWaits() { cancelled_ = true; }

 private:
  struct Slot {
    Slot(const std::filesystem::path& program, const std::string& library) : host(program, library) {}
    PluginHost host;
    FileStamp stamp;    // of the library the host loaded (empty: it could not be read)
    bool busy = false;  // a request is outstanding
  };

  const std::filesystem::path& Program();
  // The living host of `path`, or a new one; `started` tells which.
  std::shared_ptr<Slot> SlotFor(const std::string& path, bool& started);
  PluginIdentity ReadIdentity(const std::string& path, const std::string& body);
  std::string Who(const std::string& path) const;
  void EndHosts(std::vector<std::shared_ptr<Slot>> slots);

  std::filesystem::path program_;
  std::map<std::string, std::shared_ptr<Slot>> slots_;
  std::map<std::string, std::string> captions_;  // UTF-8 captions of identified plug-ins, for messages
  int waiting_ = 0;
  bool refresh_deferred_ = false;
  bool cancelled_ = false;
};

// True for a usable plug-in identifier: letters, digits and underscores, not starting with a digit.
bool IsPluginIdentifier(const std::string& name);

}  // namespace qvr
