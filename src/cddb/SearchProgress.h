// The port through which a lookup shows its progress (on the lyrics line, in the program) and
// lets the display process pending work while the master file is scanned.
#pragma once

#include <string>
#include <string_view>

#include "util/ShiftJis.h"

namespace qvr {

// The progress texts, UTF-8: "検索中 … " followed by the disc title of the record being
// compared, and "検索終了" when the scan is over.
inline constexpr std::string_view kSearchingPrefix = "検索中 … ";
inline constexpr std::string_view kSearchFinished = "検索終了";

// The caption for a record whose DiscName is `disc_name` (Shift-JIS bytes).
inline std::string SearchingCaption(std::string_view disc_name) {
  return std::string(kSearchingPrefix) + SjisToUtf8(disc_name);
}

class TSearchProgress {
 public:
  virtual ~TSearchProgress() = default;

  // Called on the GUI thread before each master record is compared, once per record. The
  // display shows SearchingCaption(disc_name) and lets pending work run (timer ticks, commands;
  // these may start another lookup, which works). `disc_name` is the record's DiscName as
  // Shift-JIS bytes, valid only during the call. Called for every record of a file of 100,000
  // discs, so it must be cheap when the display decides not to repaint: no conversion or
  // allocation unless it needs the text. An exception ends the lookup and reaches its caller.
  virtual void Searching(std::string_view disc_name) = 0;

  // Called on the GUI thread once after the scan: the display shows kSearchFinished and lets
  // pending work run. Not called when the lookup found the master file unusable.
  virtual void SearchFinished() = 0;
};

// A progress display that shows nothing, for tools and tests that do not watch the search.
class TNoSearchProgress final : public TSearchProgress {
 public:
  void Searching(std::string_view) override {}
  void SearchFinished() override {}
};

}  // namespace qvr
