// The one place where the desktop program calls into the controller. Every click, tick and
// signal goes through Run, which shows the application's error box for an error the call
// raised, so that no exception reaches Qt's event loop. Since every change of the controller's
// state comes through here, those who mirror it elsewhere (the media-player bus) look again
// after each call rather than polling.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace qvr {

class TQVRDM;

// The program's caption, carried by its error boxes at any time, start-up and exit included.
inline constexpr const char* kProgramCaption = "QVR";

class ControllerLink {
 public:
  // The controller is created after the windows, so they are given the link first and the link
  // is bound once the controller exists. Calls before binding or after unbinding do nothing.
  void Bind(TQVRDM* controller) { controller_ = controller; }
  TQVRDM* Controller() const { return controller_; }

  template <class Call>
  void Run(Call&& call) {
    if (!controller_) return;
    try {
      call(*controller_);
    } catch (const std::exception& error) {
      ShowError(error.what());
    } catch (...) {
      ShowError("予期しないエラーが発生しました");
    }
    // Not again for the calls AfterRun itself makes to read the controller.
    if (AfterRun && !after_running_) {
      after_running_ = true;
      AfterRun();
      after_running_ = false;
    }
  }

  // Runs after every call into the controller (must not throw).
  std::function<void()> AfterRun;

  // Opens the help at a context number (set by the program's entry).
  std::function<void(int)> ShowHelp = [](int) {};

  // The application's error box (modal, over the application, above every window of the
  // program); once the program ends without asking, the message goes to the log instead.
  static void ShowError(const std::string& message);

  // A box that does not wait: shown and left to the user while the program goes on. At most
  // one is up; a new message replaces the text of the one that is.
  static void ShowNotice(const std::string& message);

  // From an end that no one is there to answer (a signal, the session's end) on, nothing waits
  // for the user: every box and dialog that is up ends as cancelled (a box's text is logged),
  // boxes asked for later are logged without showing, and dialogs end at once.
  static void EndWithoutAsking();
  static bool Unattended();
  // Writes a message where errors that no one answers go: standard error unless SetLog chose
  // another place (the program adds the system log).
  static void Log(const std::string& message);
  static void SetLog(std::function<void(const std::string&)> log);

 private:
  TQVRDM* controller_ = nullptr;
  bool after_running_ = false;
};

}  // namespace qvr
