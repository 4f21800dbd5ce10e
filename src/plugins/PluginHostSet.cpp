// The plug-in hosts of the player: identification of many libraries at once, runs, and the
// failure texts the user is shown.
#include "plugins/PluginHostSet.h"

#include <poll.h>

#include <algorithm>
#include <optional>
#include <set>
#include <thread>

#include "util/Error.h"
#include "util/ProgramFolder.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

using Clock = PluginHost::Clock;

constexpr const char* kHostProgram = "qvr-plugin-host";
// How long hosts that are no longer needed may take to end on their own before they are killed.
constexpr auto kEndGrace = std::chrono::milliseconds(200);
// How many hosts identify their libraries at the same time.
constexpr std::size_t kIdentifyAtOnce = 16;

// "5", "1.5": a time limit in seconds for a message.
std::string Seconds(std::chrono::milliseconds time) {
  const long long ms = time.count();
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) text += "." + std::to_string(ms % 1000 / 100);
  return text;
}

// Waits until one of the hosts has something to read (or closes), at most `timeout`.
void PollAll(const std::vector<PluginHost*>& hosts, std::chrono::milliseconds timeout) {
  std::vector<pollfd> entries;
  for (PluginHost* host : hosts) {
    if (host->Socket() >= 0) entries.push_back({host->Socket(), POLLIN, 0});
  }
  if (entries.empty()) {
    std::this_thread::sleep_for(timeout);
    return;
  }
  poll(entries.data(), entries.size(), static_cast<int>(timeout.count()));
}

// Marks a slot busy for the life of a request and the set as waiting.
class WaitScope {
 public:
  explicit WaitScope(int& waiting) : waiting_(waiting) { ++waiting_; }
  ~WaitScope() { --waiting_; }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  int& waiting_;
};

}  // namespace

bool IsPluginIdentifier(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

PluginHostSet::PluginHostSet(std::filesystem::path program) : program_(std::move(program)) {}

PluginHostSet::~PluginHostSet() {
  std::vector<std::shared_ptr<Slot>> all;
  for (auto& [path, slot] : slots_) all.push_back(slot);
  slots_.clear();
  EndHosts(std::move(all));
}

const std::filesystem::path& PluginHostSet::Program() {
  if (program_.empty()) program_ = ProgramFile().parent_path() / kHostProgram;
  return program_;
}

std::shared_ptr<PluginHostSet::Slot> PluginHostSet::SlotFor(const std::string& path, bool& started) {
  const FileStamp stamp = StampOf(path).value_or(FileStamp{});
  auto found = slots_.find(path);
  if (found != slots_.end()) {
    std::shared_ptr<Slot> slot = found->second;
    // A host whose process ended, or that holds an older file of that name, is replaced.
    if (slot->busy || (!slot->host.Gone() && slot->stamp == stamp)) {
      started = false;
      return slot;
    }
    slots_.erase(found);
    EndHosts({slot});
  }
  auto slot = std::make_shared<Slot>(Program(), path);
  slot->stamp = stamp;
  slots_[path] = slot;
  started = true;
  return slot;
}

std::string PluginHostSet::Who(const std::string& path) const {
  auto caption = captions_.find(path);
  if (caption == captions_.end() || caption->second.empty()) return "[" + path + "]";
  return "「" + caption->second + "」[" + path + "]";
}

void PluginHostSet::EndHosts(std::vector<std::shared_ptr<Slot>> slots) {
  // Busy hosts belong to a wait further up; it ends them when it is done with them.
  std::erase_if(slots, [](const std::shared_ptr<Slot>& slot) { return slot->busy; });
  for (auto& slot : slots) slot->host.CloseSocket();
  const auto until = Clock::now() + kEndGrace;
  for (;;) {
    bool all_ended = true;
    for (auto& slot : slots) all_ended = slot->host.Reap() && all_ended;
    if (all_ended || Clock::now() >= until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (auto& slot : slots) slot->host.Kill();
}

void PluginHostSet::Keep(const std::vector<std::string>& paths) {
  const std::set<std::string> kept(paths.begin(), paths.end());
  std::vector<std::shared_ptr<Slot>> ending;
  for (auto it = slots_.begin(); it != slots_.end();) {
    if (kept.count(it->first)) {
      ++it;
      continue;
    }
    ending.push_back(it->second);
    it = slots_.erase(it);
  }
  EndHosts(std::move(ending));
}

bool PluginHostSet::TakeDeferredRefresh() {
  if (Waiting() || !refresh_deferred_) return false;
  refresh_deferred_ = false;
  return true;
}

PluginIdentity PluginHostSet::ReadIdentity(const std::string& path, const std::string& body) {
  PluginIdentity identity;
  const std::string file = "[" + path + "]";
  std::optional<PluginIdentifyReply> reply = DecodeIdentifyReply(body);
  if (!reply || (reply->image_size <= kPluginImageLimit && reply->image.size() != reply->image_size)) {
    identity.Problem = file + " のプラグインホストから不正な応答がありました";
    return identity;
  }
  switch (reply->outcome) {
    case PluginOutcome::Done: break;
    case PluginOutcome::CannotLoad: identity.Problem = file + " をロードできません: " + reply->reason; return identity;
    case PluginOutcome::NoIdentify:
      identity.Problem = file + " はＱＶＲ用のプラグインではありません: " + reply->reason;
      return identity;
    case PluginOutcome::Exception:
      identity.Problem = file + " の QVR_Plugin_ID で例外が発生しました: " + reply->reason;
      return identity;
    case PluginOutcome::NoExec:
      identity.Problem = file + " のプラグインホストから不正な応答がありました";
      return identity;
  }
  if (!reply->is_plugin) return identity;
  if (reply->name.size() > kPluginNameLimit) {
    identity.Problem = file + " のプラグイン名は長すぎます（" + std::to_string(kPluginNameLimit) + " バイトまで）";
    return identity;
  }
  identity.IsPlugin = true;
  identity.PluginName = reply->name;
  identity.PluginCaption = std::string(SjisPrefix(reply->caption, kPluginCaptionLimit));
  if (reply->image_size > kPluginImageLimit) {
    identity.Notice = file + " のボタン画像は大きすぎるため使いません（" + std::to_string(reply->image_size) +
                      " バイト、" + std::to_string(kPluginImageLimit) + " バイトまで）";
  } else {
    identity.PadImage = std::move(reply->image);
  }
  captions_[path] = SjisToUtf8(identity.PluginCaption);
  return identity;
}

std::vector<PluginIdentity> PluginHostSet::Identify(const std::vector<std::string>& paths,
                                                    const std::function<void()>& pending_work) {
  WaitScope scope(waiting_);
  const std::size_t count = paths.size();
  std::vector<PluginIdentity> results(count);
  std::vector<std::shared_ptr<Slot>> asked(count);  // hosts whose answer is awaited
  std::vector<Clock::time_point> deadlines(count);
  // Frees the busy slots however the call ends.
  struct Unmark {
    std::vector<std::shared_ptr<Slot>>& asked;
    ~Unmark() {
      for (auto& slot : asked) {
        if (slot) slot->busy = false;
      }
    }
  } unmark{asked};

  // Each answer is read as it comes: a library that cannot be used loses its host at once, so
  // that a folder full of junk never has more than kIdentifyAtOnce hosts running.
  auto settle = [&](std::size_t i, PluginIdentity identity) {
    results[i] = std::move(identity);
    std::shared_ptr<Slot> slot = std::move(asked[i]);
    slot->busy = false;
    if (results[i].IsPlugin) return;
    auto found = slots_.find(paths[i]);
    if (found != slots_.end() && found->second == slot) slots_.erase(found);
    EndHosts({slot});
  };

  std::size_t next = 0;
  std::optional<Error> cannot_start;
  for (;;) {
    std::size_t in_flight = 0;
    for (const auto& slot : asked) in_flight += slot != nullptr;
    while (in_flight < kIdentifyAtOnce && next < count && !cannot_start && !cancelled_) {
      const std::size_t i = next++;
      bool started = false;
      std::shared_ptr<Slot> slot;
      try {
        slot = SlotFor(paths[i], started);
      } catch (const Error& error) {
        cannot_start = error;  // no host can start (a missing program, no processes left)
        break;
      }
      if (slot->busy) {
        results[i].Problem = Who(paths[i]) + " は実行中のため確認できません";
        continue;
      }
      slot->host.Send(PluginMessage::Identify);  // a host that is gone is seen as such below
      slot->busy = true;
      asked[i] = std::move(slot);
      deadlines[i] = Clock::now() + limits.identify;
      ++in_flight;
    }

    std::vector<PluginHost*> waiting;
    for (std::size_t i = 0; i < count; ++i) {
      if (!asked[i]) continue;
      PluginHost& host = asked[i]->host;
      if (std::optional<std::string> body = host.Receive()) {
        settle(i, ReadIdentity(paths[i], *body));
      } else if (host.Gone()) {
        PluginIdentity failed;
        failed.Problem = "[" + paths[i] + "] は" + (host.Loaded() ? " QVR_Plugin_ID の実行中に" : "ロード中に") +
                         (host.Signaled() ? "異常終了しました: " : "終了しました: ") + host.Ending();
        settle(i, std::move(failed));
      } else if (cancelled_ || Clock::now() >= deadlines[i]) {
        host.Kill();
        PluginIdentity hung;
        if (!cancelled_) {
          hung.Problem = "[" + paths[i] + "] が応答しません: QVR_Plugin_ID が " + Seconds(limits.identify) +
                         " 秒たっても終わらないため終了させました";
        }
        settle(i, std::move(hung));
      } else {
        waiting.push_back(&host);
      }
    }
    if (waiting.empty() && (next == count || cannot_start || cancelled_)) break;
    if (waiting.empty()) continue;
    if (pending_work) pending_work();
    PollAll(waiting, limits.slice);
  }
  if (cannot_start) throw *cannot_start;
  return results;
}

PluginRunResult PluginHostSet::Run(const std::string path, const std::function<void()>& pending_work,
                                   const std::function<bool(const std::string& question)>& end_hung) {
  if (cancelled_) return {};
  std::shared_ptr<Slot> slot;
  bool started = false;
  try {
    slot = SlotFor(path, started);
  } catch (const Error& error) {
    return {false, "[" + path + "] を実行できません: " + error.what()};
  }
  if (slot->busy) return {};  // it is running already: the second click is not queued
  WaitScope scope(waiting_);
  slot->busy = true;
  // Whatever way the wait ends, the slot is free again; a host left with a request it has not
  // answered is of no further use and goes.
  bool settled = false;
  struct Release {
    PluginHostSet& set;
    std::shared_ptr<Slot>& slot;
    const std::string& path;
    bool& settled;
    ~Release() {
      slot->busy = false;
      if (settled) return;
      slot->host.Kill();
      auto found = set.slots_.find(path);
      if (found != set.slots_.end() && found->second == slot) set.slots_.erase(found);
    }
  } release{*this, slot, path, settled};

  // A new host identifies its library first, as the library loaded at the last refresh was.
  bool identifying = started;
  if (started) slot->host.Send(PluginMessage::Identify);
  slot->host.Send(PluginMessage::Run);

  const std::string cannot_run = "[" + path + "] を実行できません: ";
  const auto began = Clock::now();
  bool end_requested = false;
  auto patience = limits.run;
  auto deadline = Clock::now() + patience;
  for (;;) {
    while (std::optional<std::string> body = slot->host.Receive()) {
      if (identifying) {
        identifying = false;
        PluginIdentity identity = ReadIdentity(path, *body);
        if (!identity.Problem.empty()) return {false, identity.Problem};
        continue;
      }
      std::optional<PluginRunReply> reply = DecodeRunReply(*body);
      if (!reply) return {false, "[" + path + "] のプラグインホストから不正な応答がありました"};
      settled = true;
      switch (reply->outcome) {
        case PluginOutcome::Done:
          if (pending_work) pending_work();
          return {true, ""};
        case PluginOutcome::Exception:
          return {false, Who(path) + " の QVR_Plugin_Exec で例外が発生しました: " + reply->reason};
        default: return {false, cannot_run + reply->reason};
      }
    }
    if (slot->host.Gone()) {
      const char* during = !slot->host.Loaded() ? " はロード中に"
                           : identifying        ? " は QVR_Plugin_ID の実行中に"
                                                : " は QVR_Plugin_Exec の実行中に";
      return {false, Who(path) + during + (slot->host.Signaled() ? "異常終了しました: " : "終了しました: ") +
                         slot->host.Ending()};
    }
    if (cancelled_ || end_requested) return {};
    if (Clock::now() >= deadline) {
      const std::string call = identifying ? "QVR_Plugin_ID" : "QVR_Plugin_Exec";
      const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began);
      if (end_hung && end_hung(Who(path) + " が応答しません: " + call + " が " +
                               std::to_string(std::max<long long>(1, (waited.count() + 500) / 1000)) +
                               " 秒たっても終わりません。\nプラグインを終了させますか？")) {
        // The answer came after the question was up for a while: a reply that arrived meanwhile
        // still counts, so the socket is read once more before the host is ended.
        end_requested = true;
        continue;
      }
      patience *= 2;
      deadline = Clock::now() + patience;
    }
    if (pending_work) pending_work();
    slot->host.WaitReadable(limits.slice);
  }
}

}  // namespace qvr
