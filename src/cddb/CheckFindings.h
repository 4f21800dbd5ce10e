// The validator's findings as they are gathered: lines naming the file and record, and the
// findings of one part of the database put in record order at the end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cddb/DatabaseCheck.h"
#include "cddb/DatabaseFiles.h"

namespace qvr {

// Adds findings to a list, each as "FILE レコード N: text" (the record left out when 0).
class Findings {
 public:
  explicit Findings(std::vector<CheckFinding>& out) : out_(out) {}

  void Problem(DBFile file, std::size_t record, const std::string& text) { Add(true, file, record, text); }
  void Remark(DBFile file, std::size_t record, const std::string& text) { Add(false, file, record, text); }

 private:
  void Add(bool problem, DBFile file, std::size_t record, const std::string& text) {
    std::string line(InfoOf(file).FileName);
    if (record > 0) line += " レコード " + std::to_string(record);
    out_.push_back({problem, line + ": " + text});
  }

  std::vector<CheckFinding>& out_;
};

// Findings of one part, put in record order at the end: within a record by `Rank`, the order in
// which the checks of a record are listed.
class PartFindings {
 public:
  void Problem(DBFile file, std::size_t record, unsigned rank, const std::string& text) {
    Findings(found_).Problem(file, record, text);
    places_.emplace_back(record, rank);
  }
  void Remark(DBFile file, const std::string& text) {
    Findings(found_).Remark(file, 0, text);
    places_.emplace_back(SIZE_MAX, 0u);
  }
  void AppendTo(std::vector<CheckFinding>& out) {
    std::vector<std::size_t> order(found_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return places_[a] < places_[b]; });
    for (std::size_t i : order) out.push_back(std::move(found_[i]));
  }

 private:
  std::vector<CheckFinding> found_;
  std::vector<std::pair<std::size_t, unsigned>> places_;
};

}  // namespace qvr
