// Ends the program when the system asks it to: SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, the
// terminal going away) and the session manager at logout. The signal handler only writes a byte
// to a pipe; the GUI thread reads it and runs `exit`, also inside the loop of a box or dialog
// that is up (a start-up box included). No one is there to answer: the program's `exit` closes
// what waits for the user and logs what goes wrong, and settings are saved as on any end.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace qvr {

class ExitSignals {
 public:
  // `exit` runs on the GUI thread once per request.
  explicit ExitSignals(std::function<void()> exit);
  ~ExitSignals();
  ExitSignals(const ExitSignals&) = delete;
  ExitSignals& operator=(const ExitSignals&) = delete;

 private:
  std::function<void()> exit_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace qvr
