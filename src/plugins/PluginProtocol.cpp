// Encoding and decoding of the plug-in host's messages, with every field bounded.
#include "plugins/PluginProtocol.h"

#include <algorithm>

namespace qvr {
namespace {

void PutInteger(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutText(std::string& out, std::string_view text) {
  PutInteger(out, text.size(), 4);
  out.append(text);
}

// Reads fields front to back; any read past the end or past a field's bound fails the whole body.
class BodyReader {
 public:
  explicit BodyReader(std::string_view body) : rest_(body) {}
  bool Integer(std::uint64_t& value, int bytes) {
    if (rest_.size() < static_cast<std::size_t>(bytes)) return ok_ = false;
    value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{static_cast<unsigned char>(rest_[i])} << (8 * i);
    rest_.remove_prefix(bytes);
    return ok_;
  }
  bool Byte(std::uint8_t& value) {
    std::uint64_t wide = 0;
    if (!Integer(wide, 1)) return false;
    value = static_cast<std::uint8_t>(wide);
    return ok_;
  }
  bool Text(std::string& text, std::size_t limit) {
    std::uint64_t size = 0;
    if (!Integer(size, 4) || size > limit || size > rest_.size()) return ok_ = false;
    text.assign(rest_.substr(0, size));
    rest_.remove_prefix(size);
    return ok_;
  }
  bool Finished() const { return ok_ && rest_.empty(); }

 private:
  std::string_view rest_;
  bool ok_ = true;
};

bool ValidOutcome(std::uint8_t value) { return value <= static_cast<std::uint8_t>(PluginOutcome::Exception); }

}  // namespace

std::string EncodeFrame(std::string_view body) {
  std::string frame;
  PutInteger(frame, body.size(), 4);
  frame.append(body);
  return frame;
}

std::string EncodeRequest(PluginMessage request) { return std::string(1, static_cast<char>(request)); }

std::string EncodeReply(const PluginIdentifyReply& reply) {
  std::string body(1, static_cast<char>(PluginMessage::IdentifyReply));
  body.push_back(static_cast<char>(reply.outcome));
  body.push_back(reply.is_plugin ? 1 : 0);
  PutInteger(body, reply.image_size, 8);
  PutText(body, CutText(reply.name, kPluginNameLimit + 1));
  PutText(body, CutText(reply.caption, kPluginCaptionLimit + 1));
  PutText(body, reply.image.size() <= kPluginImageLimit ? std::string_view(reply.image) : std::string_view());
  PutText(body, CutText(reply.reason, kPluginReasonLimit));
  return body;
}

std::string EncodeReply(const PluginRunReply& reply) {
  std::string body(1, static_cast<char>(PluginMessage::RunReply));
  body.push_back(static_cast<char>(reply.outcome));
  PutText(body, CutText(reply.reason, kPluginReasonLimit));
  return body;
}

std::optional<PluginIdentifyReply> DecodeIdentifyReply(std::string_view body) {
  if (body.empty() || body[0] != static_cast<char>(PluginMessage::IdentifyReply)) return std::nullopt;
  BodyReader reader(body.substr(1));
  PluginIdentifyReply reply;
  std::uint8_t outcome = 0, is_plugin = 0;
  if (!reader.Byte(outcome) || !ValidOutcome(outcome) || !reader.Byte(is_plugin) || is_plugin > 1 ||
      !reader.Integer(reply.image_size, 8) || !reader.Text(reply.name, kPluginNameLimit + 1) ||
      !reader.Text(reply.caption, kPluginCaptionLimit + 1) || !reader.Text(reply.image, kPluginImageLimit) ||
      !reader.Text(reply.reason, kPluginReasonLimit) || !reader.Finished()) {
    return std::nullopt;
  }
  reply.outcome = static_cast<PluginOutcome>(outcome);
  reply.is_plugin = is_plugin != 0;
  return reply;
}

std::optional<PluginRunReply> DecodeRunReply(std::string_view body) {
  if (body.empty() || body[0] != static_cast<char>(PluginMessage::RunReply)) return std::nullopt;
  BodyReader reader(body.substr(1));
  PluginRunReply reply;
  std::uint8_t outcome = 0;
  if (!reader.Byte(outcome) || !ValidOutcome(outcome) || !reader.Text(reply.reason, kPluginReasonLimit) ||
      !reader.Finished()) {
    return std::nullopt;
  }
  reply.outcome = static_cast<PluginOutcome>(outcome);
  return reply;
}

std::optional<std::string> FrameReader::Next() {
  if (broken_ || pending_.size() < 4) return std::nullopt;
  std::size_t length = 0;
  for (int i = 0; i < 4; ++i) length |= std::size_t{static_cast<unsigned char>(pending_[i])} << (8 * i);
  if (length == 0 || length > kMaxFrameBody) {
    broken_ = true;
    pending_.clear();
    return std::nullopt;
  }
  if (pending_.size() < 4 + length) return std::nullopt;
  std::string body = pending_.substr(4, length);
  pending_.erase(0, 4 + length);
  return body;
}

std::string CutText(std::string_view text, std::size_t limit) {
  return std::string(text.substr(0, std::min(text.size(), limit)));
}

}  // namespace qvr
