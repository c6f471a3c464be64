#include "publish/ftp/FtpReply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ParameterName.h"

namespace ostrel {
namespace {

using Progress = FtpReplyAssembler::Progress;

struct ReplyCase {
  const char* description;
  std::vector<std::string> lines;
  std::vector<Progress> progress;  // after each line
  int code;
  std::string text;  // of the reply after the last line
};

void PrintTo(const ReplyCase& reply, std::ostream* out) { *out << reply.description; }

class FtpReplyAssemblerTest : public testing::TestWithParam<ReplyCase> {};

TEST_P(FtpReplyAssemblerTest, FollowsTheMultiLineRule) {
  const ReplyCase& reply = GetParam();
  FtpReplyAssembler assembler;
  ASSERT_EQ(reply.lines.size(), reply.progress.size());
  for (std::size_t index = 0; index < reply.lines.size(); ++index)
    EXPECT_EQ(assembler.AddLine(reply.lines[index]), reply.progress[index]) << "line " << index;
  EXPECT_EQ(assembler.Reply().code, reply.code);
  EXPECT_EQ(assembler.Reply().Text(), reply.text);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FtpReplyAssemblerTest,
    testing::Values(
        ReplyCase{"one line", {"230 Login successful."}, {Progress::Complete}, 230, "230 Login successful."},
        ReplyCase{"bare code", {"200"}, {Progress::Complete}, 200, "200"},
        ReplyCase{"multi-line FEAT",
                  {"211-Features supported:", " EPRT", " MLST type*;modify*;", "211 End FEAT."},
                  {Progress::NeedsMore, Progress::NeedsMore, Progress::NeedsMore, Progress::Complete},
                  211,
                  "211-Features supported:\n EPRT\n MLST type*;modify*;\n211 End FEAT."},
        ReplyCase{"inner lines that look like other replies do not end it",
                  {"220-Welcome", "230 not the end", "220-still inside", "220 Ready"},
                  {Progress::NeedsMore, Progress::NeedsMore, Progress::NeedsMore, Progress::Complete},
                  220,
                  "220-Welcome\n230 not the end\n220-still inside\n220 Ready"},
        ReplyCase{"the same code without a space does not end it",
                  {"250-first", "250second", "250"},
                  {Progress::NeedsMore, Progress::NeedsMore, Progress::Complete},
                  250,
                  "250-first\n250second\n250"},
        ReplyCase{"empty inner line", {"220-a", "", "220 b"},
                  {Progress::NeedsMore, Progress::NeedsMore, Progress::Complete}, 220, "220-a\n\n220 b"},
        ReplyCase{"text instead of a code", {"hello"}, {Progress::Malformed}, 0, "hello"},
        ReplyCase{"a code out of range", {"600 Nope"}, {Progress::Malformed}, 0, "600 Nope"},
        ReplyCase{"a code glued to text", {"2201 x"}, {Progress::Malformed}, 0, "2201 x"},
        ReplyCase{"a short code", {"22"}, {Progress::Malformed}, 0, "22"}),
    [](const testing::TestParamInfo<ReplyCase>& info) {
      return test::ParameterName(info.index, info.param.description);
    });

TEST(FtpReplyAssembler, StartsAFreshReplyAfterAComplete) {
  FtpReplyAssembler assembler;
  EXPECT_EQ(assembler.AddLine("150 Opening."), Progress::Complete);
  EXPECT_FALSE(assembler.IsInsideReply());
  EXPECT_EQ(assembler.AddLine("226-Transfer"), Progress::NeedsMore);
  EXPECT_TRUE(assembler.IsInsideReply());
  EXPECT_EQ(assembler.AddLine("226 complete."), Progress::Complete);
  EXPECT_EQ(assembler.Reply().code, 226);
  EXPECT_EQ(assembler.Reply().Text(), "226-Transfer\n226 complete.");
  EXPECT_EQ(assembler.Reply().Class(), 2);
}

}  // namespace
}  // namespace ostrel
