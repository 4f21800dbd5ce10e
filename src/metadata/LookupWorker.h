// LookupWorker: runs the online lookup's blocking steps on a thread of its own, one job at a
// time, so that the registration dialog stays responsive and can cancel.
//
// Threads: Start*, Cancel, Poll and the destructor are called on one thread (the GUI thread). The
// job runs on the worker thread and calls `notify` there after each progress step and once when
// it ends; `notify` must do no more than post a call to the GUI thread, which then Polls. The
// destructor cancels a running job and waits for it (at most one poll slice of the transfer).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "metadata/OnlineLookup.h"

namespace qvr {

struct LookupNews {
  bool Running = false;
  std::string Progress;  // the step under way
  // When the last job has ended: its result or its failure.
  bool Finished = false;
  std::vector<DiscProposal> Proposals;  // a find's result
  std::filesystem::path Cover;          // a cover's file (empty: the archive has none)
  std::optional<DiscLyrics> Lyrics;     // a lyrics fetch's result
  std::optional<LookupFailure> Failure;
  std::string Message;  // the failure, one line
};

class LookupWorker {
 public:
  LookupWorker(OnlineLookupSettings settings, std::function<void()> notify);
  ~LookupWorker();
  LookupWorker(const LookupWorker&) = delete;
  LookupWorker& operator=(const LookupWorker&) = delete;

  // Starts finding proposals for `disc`, whose table of contents is `toc`. False when a job is
  // running.
  bool StartFind(const DiscToc& toc, const TDiscRecord& disc);
  // Starts fetching the proposal's front cover into `jacket_folder`. False when a job is running.
  bool StartCover(const DiscProposal& proposal, const std::filesystem::path& jacket_folder);
  // Starts fetching the timed lyrics of `disc`'s titled tracks. False when a job is running.
  bool StartLyrics(const TDiscRecord& disc);
  // Asks the running job to end; it finishes with LookupFailure::Cancelled soon after.
  void Cancel();
  // The job's state now. A finished job's result is handed over once: the next Poll no longer
  // reports it finished.
  LookupNews Poll();
  bool Running();

 private:
  using Job = std::function<void(OnlineLookup&, const CancelFlag&, const OnlineLookup::Progress&, LookupNews&)>;
  bool Start(Job job);
  void Join();

  OnlineLookupSettings settings_;
  std::function<void()> notify_;
  std::mutex mutex_;
  LookupNews news_;  // guarded by mutex_
  std::unique_ptr<CancelFlag> cancel_;
  std::thread thread_;
};

}  // namespace qvr
