// Hint parts and the byte-capacity check of edited texts.
#include "dialogs/EditText.h"

#include "util/ShiftJis.h"

namespace qvr {

std::string_view ShortHint(std::string_view hint) { return hint.substr(0, hint.find('|')); }

std::string_view LongHint(std::string_view hint) {
  const std::size_t bar = hint.find('|');
  return bar == std::string_view::npos ? hint : hint.substr(bar + 1);
}

EditCheck CheckEditText(std::string_view utf8, std::size_t capacity) {
  const SjisEncoding encoded = Utf8ToSjis(utf8);
  EditCheck check;
  check.bytes = encoded.bytes.size();
  if (!encoded.ok()) {
    check.status = EditCheck::Status::Unencodable;
    check.offending = encoded.unmappable.front();
  } else if (encoded.bytes.size() > capacity) {
    check.status = EditCheck::Status::TooLong;
  }
  return check;
}

std::string EditRefusalMessage(const EditCheck& check, std::size_t capacity) {
  switch (check.status) {
    case EditCheck::Status::Fits: return {};
    case EditCheck::Status::Unencodable:
      return "「" + check.offending + "」は保存できない文字です (シフトJISにない文字は使えません)";
    case EditCheck::Status::TooLong:
      return "この欄には半角" + std::to_string(capacity) + "文字 (全角" + std::to_string(capacity / 2) +
             "文字) までしか入力できません";
  }
  return {};
}

}  // namespace qvr
