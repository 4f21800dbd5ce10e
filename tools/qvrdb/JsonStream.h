// A large JSON document read from a file as a stream, for qvrdb import: the members of objects
// and the elements of arrays one at a time, each value checked and parsed whole by simdjson when
// it is reached. Memory holds the largest single value, never the file.
//
// The stream finds where a value ends by its brackets and quotes alone; simdjson then checks and
// parses exactly those bytes. A complaint names the line and column of the fault: found only
// when there is one, by reading the file again up to it.
#pragma once

#include <simdjson.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

class JsonStream {
 public:
  // Reads from `fd` (closed by the destructor); `name` names the file in messages.
  JsonStream(int fd, std::string name);
  ~JsonStream();
  JsonStream(const JsonStream&) = delete;
  JsonStream& operator=(const JsonStream&) = delete;

  // Whether anything but white space is left.
  bool AtEnd();
  // Whether the next value begins with `bracket` ('{' or '['), without reading it.
  bool NextIs(char bracket);
  // Opens the object or array whose bracket NextIs found; its members or elements follow.
  void Enter();
  // The next key of the object open innermost, its colon read; nothing (and the object
  // closed) at its end.
  std::optional<std::string> NextKey();
  // Whether the array open innermost has another element; at its end the array is closed.
  bool NextElement();
  // The next value (a member's after NextKey, an element after NextElement, or the document),
  // checked and parsed; valid until the next call of the stream.
  simdjson::dom::element Value();
  // Raises Error unless only white space is left.
  void ExpectEnd();

  // Raises Error "<name> は JSON として読めません: <line> 行 <column> 文字目: <reason>" for the
  // byte at `offset`.
  [[noreturn]] void Fail(std::uint64_t offset, std::string_view reason) const;

 private:
  struct Open {
    char Close;
    bool First;
  };

  bool SkipWhitespace();
  bool Refill();
  std::size_t NestedLength();
  std::size_t StringLength();
  std::size_t ScalarLength();
  // Reads the separator before the next member or element: true when there is one, false
  // (the bracket read) at the end.
  bool Separator();
  std::uint64_t OffsetOf(std::size_t index) const { return consumed_ + index; }
  [[noreturn]] void FailParse(std::size_t length, simdjson::error_code error) const;

  int fd_;
  std::string name_;
  std::vector<char> buffer_;  // the unread part of the file in [begin_, end_), then padding
  std::size_t capacity_;      // bytes of buffer_ reads may fill
  std::size_t begin_ = 0, end_ = 0;
  std::uint64_t consumed_ = 0;  // file offset of buffer_[0]
  bool eof_ = false;
  std::vector<Open> open_;
  simdjson::dom::parser parser_;
};

}  // namespace qvr
