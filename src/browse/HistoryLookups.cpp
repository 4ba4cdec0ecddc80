#include "browse/HistoryLookups.h"

#include <filesystem>
#include <system_error>

namespace tess {
namespace {

// "yyyy-mm-dd hh:mm:ss" as the history writes it; 0 for anything else.
TDateTime FiledTime(const std::u16string& text) {
  auto number = [&](size_t at, size_t digits) {
    int value = 0;
    for (size_t i = at; i < at + digits; ++i) {
      if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return -1;
      value = value * 10 + (text[i] - u'0');
    }
    return value;
  };
  TDateTime value = 0;
  DateTimeParts parts{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2), 0};
  return TryEncodeDateTime(parts, value) ? value : 0;
}

}  // namespace

HistoryLookups::HistoryLookups(std::function<std::u16string()> path, std::function<void()> ready)
    : path_(std::move(path)), ready_(std::move(ready)), threads_(1, [this] { Work(); }) {}

HistoryLookups::~HistoryLookups() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  threads_.Join();
}

void HistoryLookups::Start(std::vector<Job> jobs) {
  std::lock_guard lock(mutex_);
  ++run_;
  results_.clear();
  ready_.Answered();
  jobs_ = std::move(jobs);
  if (!jobs_.empty()) threads_.Start();
}

std::vector<HistoryLookups::Result> HistoryLookups::Take() {
  std::lock_guard lock(mutex_);
  ready_.Answered();
  return std::move(results_);
}

void HistoryLookups::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_ || jobs_.empty()) {
      threads_.Ending();
      return;
    }
    std::vector<Job> jobs = std::move(jobs_);
    jobs_.clear();
    const uint64_t run = run_;
    lock.unlock();
    if (!history_) {
      std::u16string path = path_ ? path_() : std::u16string();
      std::error_code error;
      // Browsing makes no database: where none exists, nothing was filed.
      if (!path.empty() && std::filesystem::exists(std::filesystem::path(path), error)) {
        std::vector<std::u16string> notices;  // a history that cannot be read shows no dates
        history_ = ImportHistory::Open(path, notices);
      }
    }
    std::vector<Result> found;
    if (history_) {
      std::vector<PhotoIdentity> photos;
      photos.reserve(jobs.size());
      for (const Job& job : jobs) photos.push_back(job.photo);
      std::vector<std::optional<FoundImport>> answers;
      if (history_->Find(photos, answers) == HistoryStatus::Ok)
        for (size_t i = 0; i < answers.size() && i < jobs.size(); ++i)
          if (answers[i]) found.push_back({jobs[i].key, FiledTime(answers[i]->filedAt)});
    }
    lock.lock();
    if (run != run_ || found.empty()) continue;  // another folder came meanwhile
    results_ = std::move(found);
    ready_.Raise(lock);
  }
}

}  // namespace tess
