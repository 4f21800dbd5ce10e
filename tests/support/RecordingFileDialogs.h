// The file dialog port for tests: records every request and answers from a queue of
// prepared choices (nothing queued: the user cancels).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/FileDialogs.h"

namespace qvr::test {

class RecordingFileDialogs final : public FileDialogPort {
 public:
  std::optional<std::string> Ask(const FileDialogRequest& request) override {
    Requests.push_back(request);
    if (Answers.empty()) return std::nullopt;
    std::optional<std::string> answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

  std::vector<FileDialogRequest> Requests;
  std::deque<std::optional<std::string>> Answers;  // std::nullopt: cancel
};

}  // namespace qvr::test
