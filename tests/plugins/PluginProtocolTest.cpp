// The plug-in host's messages: replies survive the trip, frames arrive in pieces, and every
// body that breaks a bound or the layout is refused instead of believed.
#include "plugins/PluginProtocol.h"

#include <gtest/gtest.h>

#include "support/CaseName.h"

namespace qvr {
namespace {

TEST(PluginProtocol, RepliesSurviveTheTripInPieces) {
  PluginIdentifyReply identity{PluginOutcome::Done, true, "Alpha", "\x83\x41", "BM..", 4, ""};
  PluginRunReply run{PluginOutcome::Exception, "std::logic_error: failed"};
  const std::string stream = EncodeFrame(EncodeReply(identity)) + EncodeFrame(EncodeReply(run));
  FrameReader reader;
  std::vector<std::string> bodies;
  for (char byte : stream) {  // one byte at a time, as a slow socket may deliver them
    reader.Append(std::string_view(&byte, 1));
    while (auto body = reader.Next()) bodies.push_back(*body);
  }
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(DecodeIdentifyReply(bodies[0]), identity);
  EXPECT_EQ(DecodeRunReply(bodies[1]), run);
  EXPECT_EQ(DecodeRunReply(bodies[0]), std::nullopt);  // a reply of the other kind
}

TEST(PluginProtocol, FieldsAreCutToTheirBoundsWhenEncoded) {
  PluginIdentifyReply reply;
  reply.name.assign(500, 'n');
  reply.caption.assign(500, 'c');
  reply.reason.assign(5000, 'r');
  reply.image.assign(kPluginImageLimit + 1, 'i');
  reply.image_size = reply.image.size();
  const std::string body = EncodeReply(reply);
  EXPECT_LE(body.size(), kMaxFrameBody);
  auto decoded = DecodeIdentifyReply(body);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->name.size(), kPluginNameLimit + 1);  // one byte more: "longer than the bound"
  EXPECT_EQ(decoded->caption.size(), kPluginCaptionLimit + 1);
  EXPECT_EQ(decoded->reason.size(), kPluginReasonLimit);
  EXPECT_TRUE(decoded->image.empty());
  EXPECT_EQ(decoded->image_size, kPluginImageLimit + 1);
}

// A little-endian 32-bit length.
std::string Length(std::uint32_t n) { return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; }

struct BadBody {
  std::string name;
  std::string body;
};

void PrintTo(const BadBody& c, std::ostream* out) { *out << c.name; }

class PluginProtocolRefuses : public testing::TestWithParam<BadBody> {};

TEST_P(PluginProtocolRefuses, IdentifyReply) { EXPECT_EQ(DecodeIdentifyReply(GetParam().body), std::nullopt); }

// A well-formed reply is: kind, outcome, is_plugin, 8-byte image size, then four texts.
const std::string kHead = std::string("i") + '\0' + '\1' + std::string(8, '\0');
const std::string kEmptyText = Length(0);

INSTANTIATE_TEST_SUITE_P(
    Bodies, PluginProtocolRefuses,
    testing::Values(BadBody{"Empty", ""}, BadBody{"OnlyTheKind", "i"},
                    BadBody{"UnknownOutcome", std::string("i") + '\x09' + '\1' + std::string(8, '\0') + kEmptyText +
                                                  kEmptyText + kEmptyText + kEmptyText},
                    BadBody{"NameAboveItsBound", kHead + Length(kPluginNameLimit + 2) +
                                                     std::string(kPluginNameLimit + 2, 'n') + kEmptyText + kEmptyText +
                                                     kEmptyText},
                    BadBody{"TextPastTheEnd", kHead + Length(1000) + "abc"},
                    BadBody{"ImageAboveItsBound", kHead + kEmptyText + kEmptyText + Length(kPluginImageLimit + 1)},
                    BadBody{"TrailingBytes", kHead + kEmptyText + kEmptyText + kEmptyText + kEmptyText + "x"}),
    test::CaseName());

TEST(PluginProtocol, AFrameBeyondTheBoundBreaksTheReader) {
  for (std::uint32_t length : {std::uint32_t{0}, std::uint32_t(kMaxFrameBody + 1), std::uint32_t{0xFFFFFFFF}}) {
    FrameReader reader;
    reader.Append(Length(length) + "xxxx");
    EXPECT_EQ(reader.Next(), std::nullopt) << length;
    EXPECT_TRUE(reader.Broken()) << length;
    reader.Append(EncodeFrame("x"));
    EXPECT_EQ(reader.Next(), std::nullopt) << "nothing comes out of a broken reader";
  }
}

}  // namespace
}  // namespace qvr
