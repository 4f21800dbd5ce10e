// Test doubles for the controller's ports: a view that records what it is told and answers
// from a script, a hand-driven timer, a fixed random sequence, a wallpaper in memory and the
// GUI thread's queue of device news, drained by hand.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/QVRTimer.h"
#include "app/QVRView.h"
#include "app/RandomSource.h"
#include "app/TQVRDM.h"
#include "app/WallpaperService.h"

namespace qvr::test {

class RecordingView : public QVRView {
 public:
  // Every call as one line ("SetTrayIcon STOP", "SplashProgress 20", ...), in order.
  mutable std::vector<std::string> log;
  std::string tray_icon, tray_hint, pad_caption, lyrics_text;
  std::map<PadToggle, bool> toggles;
  PadLayout pad;  // the pad's layout as the "windows" have it
  LyricsAppearance appearance;
  bool at_top = true;
  bool hints = false, lyrics_visible = false, pad_visible = false, pad_stay_on_top = false;
  int pixels_per_inch = 96;
  std::vector<std::string> errors;
  std::vector<std::string> logged;    // errors written to the log without a box
  std::vector<std::string> messages;  // "caption: text"

  // Answers to message boxes, used in order (Yes when none is left).
  std::deque<MessageAnswer> answers;
  // What a dialog does while it is "up": edit the controller, run ticks, close itself. The
  // result of RunDialog is the result given to CloseDialog, else what the action returns.
  std::map<DialogKind, std::function<ModalResult()>> dialog_actions;
  std::function<ModalResult(TOptionValues&)> options_action;
  std::function<void()> on_pending_work;
  // What CloseDialog(Registration, Update) commits into the disc record first.
  std::function<void()> commit_registration;

  void ActivateTray() override { Log("ActivateTray"); }
  void SetTrayIcon(std::string_view name) override {
    tray_icon = name;
    Log("SetTrayIcon " + tray_icon);
  }
  void SetTrayHint(const std::string& text) override { tray_hint = text; }
  void PopupMenu() override { Log("PopupMenu"); }
  void SetPadCaption(const std::string& text) override { pad_caption = text; }
  void SetPadToggle(PadToggle button, bool down) override { toggles[button] = down; }
  std::string LyricsText() const override { return lyrics_text; }
  void SetLyricsText(const std::string& text) override { lyrics_text = text; }
  void ApplyLyricsAppearance(const LyricsAppearance& value, bool top) override {
    appearance = value;
    at_top = top;
    Log("ApplyLyricsAppearance");
  }
  int ScreenPixelsPerInch() const override { return pixels_per_inch; }
  void SetLyricsWindowVisible(bool visible) override { lyrics_visible = visible; }
  void SetPadWindowVisible(bool visible) override {
    pad_visible = visible;
    pad.window.visible = visible;
  }
  void SetPadToolbarVisible(PadToolbar toolbar, bool visible) override { pad[toolbar].visible = visible; }
  void SetPadStayOnTop(bool value) override { pad_stay_on_top = value; }
  void SetHintsEnabled(bool enabled) override { hints = enabled; }
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon, MessageButtons) override {
    messages.push_back(caption + ": " + text);
    Log("ShowMessage " + text);
    if (answers.empty()) return MessageAnswer::Yes;
    MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowError(const std::string& message) override {
    errors.push_back(message);
    Log("ShowError " + message);
  }
  void LogError(const std::string& message) override {
    logged.push_back(message);
    Log("LogError " + message);
  }
  ModalResult RunDialog(DialogKind kind) override {
    Log("RunDialog " + std::to_string(static_cast<int>(kind)));
    open_.push_back({kind, ModalResult::None});
    ModalResult result = ModalResult::Cancel;
    auto action = dialog_actions.find(kind);
    if (action != dialog_actions.end()) result = action->second();
    if (open_.back().closed_with != ModalResult::None) result = open_.back().closed_with;
    open_.pop_back();
    return result;
  }
  ModalResult RunOptionsDialog(TOptionValues& values, OptionsStart start) override {
    Log(start == OptionsStart::Drive ? "RunOptionsDialog Drive" : "RunOptionsDialog");
    return options_action ? options_action(values) : ModalResult::Cancel;
  }
  void CloseDialog(DialogKind kind, ModalResult result) override {
    Log("CloseDialog " + std::to_string(static_cast<int>(kind)) + " " + std::to_string(static_cast<int>(result)));
    if (kind == DialogKind::Registration && result == ModalResult::Update && commit_registration) commit_registration();
    if (!open_.empty() && open_.back().kind == kind) open_.back().closed_with = result;
  }
  bool DialogClosed() const { return !open_.empty() && open_.back().closed_with != ModalResult::None; }
  void SplashCreate(const SplashTexts& texts) override {
    splash = texts;
    Log("SplashCreate");
  }
  void SplashProgress(int position, const std::string& first, const std::string&) override {
    Log("SplashProgress " + std::to_string(position) + " " + first);
  }
  void SplashHide() override { Log("SplashHide"); }
  void SplashShow() override { Log("SplashShow"); }
  void SplashRelease() override { Log("SplashRelease"); }
  void ProcessPendingWork() override {
    if (on_pending_work) on_pending_work();
  }
  // A picture that is neither BMP nor PNG does not decode.
  std::vector<std::size_t> SetPluginButtons(const std::vector<PluginButton>& buttons) override {
    plugin_buttons = buttons;
    Log("SetPluginButtons " + std::to_string(buttons.size()));
    std::vector<std::size_t> undecodable;
    for (const PluginButton& button : buttons) {
      if (!button.image.empty() && button.image.rfind("BM", 0) != 0 && button.image.rfind("\x89PNG", 0) != 0) {
        undecodable.push_back(button.tag);
      }
    }
    return undecodable;
  }
  std::vector<PluginButton> plugin_buttons;
  PadLayout PadGeometry() const override {
    Log("PadGeometry");
    return pad;
  }
  void SetPadGeometry(const PadLayout& layout) override {
    Log("SetPadGeometry");
    pad = layout;
    pad_visible = layout.window.visible;
  }
  void PluginPadApplyHintSetting() override { Log("PluginPadApplyHintSetting"); }
  void PluginPadSave() override { Log("PluginPadSave"); }
  void CloseMainWindow() override { Log("CloseMainWindow"); }
  void OpenHelp(int context) override { Log("OpenHelp " + std::to_string(context)); }

  SplashTexts splash;

  // The lines of the log that start with `prefix`.
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : log) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }

 private:
  struct OpenDialog {
    DialogKind kind;
    ModalResult closed_with;
  };
  void Log(std::string line) const { log.push_back(std::move(line)); }
  std::vector<OpenDialog> open_;
};

class ManualTimer : public QVRTimer {
 public:
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    changes.push_back(enabled);
  }
  bool Enabled() const override { return enabled_; }
  void SetPace(Pace new_pace) override { pace = new_pace; }
  std::vector<bool> changes;
  Pace pace = Pace::EverySecond;

 private:
  bool enabled_ = false;
};

class FixedRandom : public RandomSource {
 public:
  void Seed() override { seeded = true; }
  std::size_t Draw(std::size_t count) override {
    std::size_t value = draws.empty() ? 1 : draws.front();
    if (!draws.empty()) draws.pop_front();
    return (value - 1) % count + 1;
  }
  std::deque<std::size_t> draws;
  bool seeded = false;
};

// The device's news as the program's event loop receives it: posted from any thread, handed to
// the controller only when the test drains the queue.
class NewsQueue {
 public:
  void Post(DeviceNews news) {
    std::lock_guard lock(mutex_);
    posted_.push_back(news);
  }
  // Hands each piece of news to `handle` in order, also news posted meanwhile.
  void Drain(const std::function<void(DeviceNews)>& handle) {
    for (;;) {
      DeviceNews news;
      {
        std::lock_guard lock(mutex_);
        if (posted_.empty()) return;
        news = posted_.front();
        posted_.pop_front();
      }
      handle(news);
    }
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    posted_.clear();
  }

 private:
  std::mutex mutex_;
  std::deque<DeviceNews> posted_;
};

// A desktop with a light and a dark picture: setting the wallpaper sets both, as the GNOME
// service does.
class MemoryWallpaper : public WallpaperService {
 public:
  std::string UnavailableReason() const override { return {}; }
  std::string ReadWallpaper() override { return current; }
  void SetWallpaper(const std::string& file) override {
    current = dark = file;
    ++sets;
  }
  Setting ReadWallpaperSetting() override { return {{"light", current}, {"dark", dark}}; }
  bool RestoreWallpaperSetting(const Setting& setting) override {
    bool restored = false;
    for (const auto& [place, value] : setting) {
      if (place == "light") current = value;
      if (place == "dark") dark = value;
      restored = restored || place == "light" || place == "dark";
    }
    sets += restored;
    return restored;
  }
  std::string current, dark;
  int sets = 0;
};

}  // namespace qvr::test
