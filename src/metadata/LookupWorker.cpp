// The worker thread of the online lookup.
#include "metadata/LookupWorker.h"

namespace qvr {

LookupWorker::LookupWorker(OnlineLookupSettings settings, std::function<void()> notify)
    : settings_(std::move(settings)), notify_(std::move(notify)) {}

LookupWorker::~LookupWorker() {
  Cancel();
  Join();
}

void LookupWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

bool LookupWorker::Running() {
  std::lock_guard lock(mutex_);
  return news_.Running;
}

void LookupWorker::Cancel() {
  std::lock_guard lock(mutex_);
  if (news_.Running && cancel_) cancel_->Cancel();
}

LookupNews LookupWorker::Poll() {
  std::lock_guard lock(mutex_);
  LookupNews news = news_;
  if (news_.Finished) news_ = LookupNews{};
  return news;
}

bool LookupWorker::Start(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (news_.Running) return false;
  }
  Join();  // the last job has ended; its thread may still be returning
  std::lock_guard started(mutex_);
  news_ = LookupNews{};
  news_.Running = true;
  cancel_ = std::make_unique<CancelFlag>();
  thread_ = std::thread([this, job = std::move(job), &cancel = *cancel_] {
    LookupNews result;
    const OnlineLookup::Progress progress = [this](const std::string& step) {
      {
        std::lock_guard lock(mutex_);
        news_.Progress = step;
      }
      notify_();
    };
    try {
      OnlineLookup lookup(settings_);
      job(lookup, cancel, progress, result);
    } catch (const LookupError& error) {
      result.Failure = error.Failure();
      result.Message = error.what();
    } catch (const std::exception& error) {
      result.Failure = LookupFailure::BadAnswer;
      result.Message = error.what();
    }
    {
      std::lock_guard done(mutex_);
      result.Running = false;
      result.Finished = true;
      news_ = std::move(result);
    }
    notify_();
  });
  return true;
}

bool LookupWorker::StartFind(const DiscToc& toc, const TDiscRecord& disc) {
  return Start([toc, disc](OnlineLookup& lookup, const CancelFlag& cancel, const OnlineLookup::Progress& progress,
                           LookupNews& result) { result.Proposals = lookup.Find(toc, disc, cancel, progress); });
}

bool LookupWorker::StartCover(const DiscProposal& proposal, const std::filesystem::path& jacket_folder) {
  return Start([proposal, jacket_folder](OnlineLookup& lookup, const CancelFlag& cancel,
                                         const OnlineLookup::Progress& progress, LookupNews& result) {
    result.Cover = lookup.FetchCover(proposal, jacket_folder, cancel, progress);
  });
}

bool LookupWorker::StartLyrics(const TDiscRecord& disc) {
  return Start([disc](OnlineLookup& lookup, const CancelFlag& cancel, const OnlineLookup::Progress& progress,
                      LookupNews& result) { result.Lyrics = lookup.FetchLyrics(disc, cancel, progress); });
}

}  // namespace qvr
