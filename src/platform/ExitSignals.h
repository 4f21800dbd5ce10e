// Ends the program like the exit command when the system asks it to: SIGTERM, SIGINT and SIGHUP
// (kill, Ctrl+C, the terminal going away) and the session manager at logout. The signal handler
// only writes a byte to a pipe; the GUI thread reads it and runs the exit command, so settings
// are saved as on any normal end.
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
