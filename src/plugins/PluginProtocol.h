// What the player and a plug-in host (qvr-plugin-host) say to each other over their socket.
//
// Every message is a frame: a 32-bit little-endian length, then that many bytes of body, the
// first of which names the message. The host says once, first, that loading its library is over
// ("loaded", so that a crash inside the library's own start-up is told from one in a call); the
// player asks ("identify", "run"); the host answers each request with exactly one reply, in
// order. Every field has a fixed upper bound and a frame is never longer than kMaxFrameBody, so
// a reader never holds more than that for one message and a frame that claims more is a broken
// host, not a reason to allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvr {

// Bounds of what a plug-in reports of itself. The host reads at most one byte more of a text
// than its bound, so the player can tell "exactly at the bound" from "longer".
inline constexpr std::size_t kPluginNameLimit = 64;      // bytes; a longer name is refused
inline constexpr std::size_t kPluginCaptionLimit = 255;  // bytes; a longer caption is cut
inline constexpr std::size_t kPluginImageLimit = 65536;  // bytes; a larger picture is not used
inline constexpr std::size_t kPluginReasonLimit = 1024;  // bytes of a failure's reason text
inline constexpr std::size_t kMaxFrameBody =
    1 + 2 + 8 + 4 * 4 + (kPluginNameLimit + 1) + (kPluginCaptionLimit + 1) + kPluginImageLimit + kPluginReasonLimit;

// The first byte of a frame's body.
enum class PluginMessage : std::uint8_t {
  Identify = 'I',       // player -> host: call QVR_Plugin_ID
  Run = 'X',            // player -> host: call QVR_Plugin_Exec
  IdentifyReply = 'i',  // host -> player
  RunReply = 'x',       // host -> player
  Loaded = 'l',         // host -> player, once before any reply: the library's load is over
};

// How a call went inside the host.
enum class PluginOutcome : std::uint8_t {
  Done = 0,        // the call returned
  CannotLoad = 1,  // the library could not be loaded; reason: the loader's message
  NoIdentify = 2,  // the library lacks QVR_Plugin_ID; reason: the loader's message
  NoExec = 3,      // the library lacks QVR_Plugin_Exec; reason: the loader's message
  Exception = 4,   // an exception escaped the call; reason: its class name and message
};

struct PluginIdentifyReply {
  PluginOutcome outcome = PluginOutcome::Done;
  bool is_plugin = false;
  std::string name;              // at most kPluginNameLimit + 1 bytes
  std::string caption;           // Shift-JIS, at most kPluginCaptionLimit + 1 bytes
  std::string image;             // the picture's bytes, empty when there is none or it is too large
  std::uint64_t image_size = 0;  // the size the plug-in reported for its picture
  std::string reason;            // at most kPluginReasonLimit bytes
  friend bool operator==(const PluginIdentifyReply&, const PluginIdentifyReply&) = default;
};

struct PluginRunReply {
  PluginOutcome outcome = PluginOutcome::Done;
  std::string reason;
  friend bool operator==(const PluginRunReply&, const PluginRunReply&) = default;
};

// Frames: the 4-byte length followed by the body.
std::string EncodeFrame(std::string_view body);
// The request bodies.
std::string EncodeRequest(PluginMessage request);
std::string EncodeReply(const PluginIdentifyReply& reply);
std::string EncodeReply(const PluginRunReply& reply);

// Decoding of bodies: nothing when the body is not a well-formed message of that kind or a field
// passes its bound.
std::optional<PluginIdentifyReply> DecodeIdentifyReply(std::string_view body);
std::optional<PluginRunReply> DecodeRunReply(std::string_view body);

// Collects bytes as they arrive and hands out whole frame bodies.
class FrameReader {
 public:
  void Append(std::string_view bytes) { pending_.append(bytes); }
  // The next whole body, if one has arrived. A length of 0 or above kMaxFrameBody makes the
  // reader broken for good (Broken() is true) and nothing more comes out of it.
  std::optional<std::string> Next();
  bool Broken() const { return broken_; }

 private:
  std::string pending_;
  bool broken_ = false;
};

// A text cut to `limit` bytes: the first `limit` bytes, or all of it when shorter.
std::string CutText(std::string_view text, std::size_t limit);

}  // namespace qvr
