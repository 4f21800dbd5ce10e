// The self-pipe between the signal handler and the GUI thread.
#include "platform/ExitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <csignal>

namespace qvr {
namespace {

int pipe_ends[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(pipe_ends[1], &byte, 1);
}

}  // namespace

ExitSignals::ExitSignals(std::function<void()> exit) : exit_(std::move(exit)) {
  if (::pipe2(pipe_ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(pipe_ends[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    char buffer[16];
    while (::read(pipe_ends[0], buffer, sizeof buffer) > 0) {
    }
    exit_();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  // Logging out: the session manager asks the program to save and end.
  QObject::connect(
      qGuiApp, &QGuiApplication::commitDataRequest, notifier_.get(), [this](QSessionManager&) { exit_(); },
      Qt::DirectConnection);
}

ExitSignals::~ExitSignals() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  notifier_.reset();
  for (int& end : pipe_ends) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

}  // namespace qvr
