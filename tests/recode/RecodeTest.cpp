#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/FileError.h"
#include "recode/IsRecodedExtension.h"
#include "recode/Koi8Recoder.h"
#include "recode/RemoveCharsetMeta.h"
#include "recode/TranslateToKoi8.h"
#include "recode/Win1251ToKoi8.h"
#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// On purpose unlike the system: KOI8 look-alikes for characters KOI8-R lacks, "?" for the copyright sign.
const std::map<int, int> kExceptions = {{0x83, 0xA6}, {0x8F, 0xAC}, {0x95, 0x86}, {0x96, '-'},  {0x97, '-'},
                                        {0xA0, ' '},  {0xA9, '?'},  {0xAD, '-'},  {0xB0, 0xB3}, {0xB1, 0xB8},
                                        {0xB2, 0xAA}, {0xB3, 0xBA}, {0xB4, 0xAF}, {0xB5, 0xBF}, {0xB6, 0xA1},
                                        {0xB7, 0xA2}, {0xBA, 0xB7}, {0xBC, 0xB9}, {0xBD, 0xA4}, {0xBF, 0xA0}};

TEST(Win1251ToKoi8, EveryEntryIsTheSystemConversionOrAWrittenOutException) {
  const iconv_t converter = iconv_open("KOI8-R", "CP1251");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
  for (int byte = 0; byte < 256; ++byte) {
    char in = static_cast<char>(byte), out = '?';  // stays "?" where KOI8-R has no such character
    char *inPointer = &in, *outPointer = &out;
    std::size_t inLeft = 1, outLeft = 1;
    iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    const auto exception = kExceptions.find(byte);
    const int expected = exception != kExceptions.end() ? exception->second : static_cast<unsigned char>(out);
    EXPECT_EQ(int{Win1251ToKoi8[static_cast<std::size_t>(byte)]}, expected) << "byte 0x" << std::hex << byte;
  }
  iconv_close(converter);
}

// The pass reads bytes in pairs and skips ASCII blocks; at any alignment each byte must come out as the table says.
TEST(TranslateToKoi8, EveryByteAtEveryAlignmentInBothModes) {
  std::string allBytes(256, '\0');
  for (std::size_t byte = 0; byte < 256; ++byte) allBytes[byte] = static_cast<char>(byte);
  for (const bool noQuestionMarks : {false, true})
    for (std::size_t shift = 0; shift <= 16; ++shift) {
      std::string text = std::string(shift, 'a') + allBytes, expected = text;
      for (char& c : expected)
        c = static_cast<char>(noQuestionMarks && Win1251ToKoi8[c & 0xFF] == '?' && c != '?' ? ' '
                                                                                            : Win1251ToKoi8[c & 0xFF]);
      TranslateToKoi8(text.data(), text.size(), noQuestionMarks);
      EXPECT_EQ(text, expected) << "shift " << shift << ", no question marks " << noQuestionMarks;
    }
}

// The declaration stretched to `size` bytes by spaces before its ">".
std::string Padded(const std::string& declaration, std::size_t size) {
  return declaration.substr(0, declaration.size() - 1) + std::string(size - declaration.size(), ' ') + ">";
}

TEST(RemoveCharsetMeta, RemovesEveryDeclarationAndKeepsTheRestByteForByte) {
  const std::string decl = R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">)";
  // Without charset, or without http-equiv, a META tag stays.
  const std::string kept = "<meta http-equiv=Content-Type content=text/html><meta name=charset content=x>", same;
  const std::pair<std::string, std::string> cases[] = {
      {"<html>\r\n" + decl + "\r\n<b>\xCF\xF0</b>", "<html>\r\n\r\n<b>\xCF\xF0</b>"},
      {"<html><MeTa CONTENT='text/html; CharSet=koi8-r' HTTP-Equiv=content-type>x"
       R"(<meta http-equiv="Refresh" content="0; url=charset.htm">!)",
       "<html>x!"},
      {"<html>" + decl + "<p>" + decl + decl + kept + "\n" + decl + "\n", "<html><p>" + kept + "\n\n"},
      {"1234" + decl, same},  // a "<" before position 5 is never examined
      {"12345" + decl + "6", "123456"},
      {"<html>< meta http-equiv charset content><link http-equiv charset content><metax http-equiv charset content>!",
       "<html>< meta http-equiv charset content><link http-equiv charset content>!"},
      {"<html><meta http-equiv charset content", same},
      {"<html>" + decl + "\0"s + decl, "<html>\0"s + decl},  // a zero byte ends the scan, the rest moves along
      {R"(<html><meta http-equiv charset content="a>b">)", R"(<html>b">)"},          // the first ">" ends the tag
      {"<html>" + Padded(decl, CharsetMetaRemover::kLongestTag) + "!", "<html>!"}};  // as long as the stream holds
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const auto buffer = std::make_unique<char[]>(text.size() + 1);  // one spare byte, for the zero
    std::memcpy(buffer.get(), text.data(), text.size());
    std::size_t length = text.size();
    RemoveCharsetMeta(buffer.get(), length);
    EXPECT_EQ(std::string(buffer.get(), length), expected.empty() ? text : expected);  // empty: no change
    EXPECT_EQ(buffer[length], '\0');
    // The streaming remover gives the same text, whatever the pieces it gets.
    for (const std::size_t pieceSize : {std::size_t{1}, std::size_t{7}, text.size()}) {
      CharsetMetaRemover remover;
      std::string streamed;
      for (std::size_t start = 0; start < text.size(); start += pieceSize)
        remover.Add(std::string_view(text).substr(start, pieceSize), streamed);
      remover.Finish(streamed);
      EXPECT_EQ(streamed, expected.empty() ? text : expected) << "pieces of " << pieceSize;
    }
  }
}

TEST(IsRecodedExtension, TheLastExtensionIsFoundAnywhereInTheUnsplitCaseSensitiveList) {
  const std::string list = "htm, html, txt";
  const std::tuple<const char*, std::string, bool> cases[] = {
      {"index.htm", list, true}, {"page.v2.htm", list, true}, {"page.htm.bak", list, false}, {"a.ml", list, true},
      {"a.m, h", list, true},    {"a.s, h", list, false},     {"a.htm", "html", true},       {"a.htm", " HTM ", false},
      {"README", list, false},   {"a.", list, false},         {"index.htm", "", false}};
  for (const auto& [name, extensions, recoded] : cases)
    EXPECT_EQ(IsRecodedExtension(name, extensions), recoded) << name << " in \"" << extensions << '"';
}

// Sentences the recoder's failures below do not show: an unusual error gets the system's words.
TEST(FileError, SentenceNamesThePath) {
  const std::pair<int, const char*> cases[] = {
      {EXDEV, "An error occurred while accessing /s/a.htm: Invalid cross-device link."},
      {0, "An unknown error occurred while accessing /s/a.htm."}};
  for (const auto& [error, text] : cases) EXPECT_STREQ(FileError::FromErrno(error, "/s/a.htm").what(), text);
}

// Points TMPDIR at the test's own directory, where it sees the recoder's files.
class Koi8RecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(temp_), ::setenv("TMPDIR", temp_.c_str(), 1); }
  void TearDown() override { previous_ ? ::setenv("TMPDIR", previous_, 1) : ::unsetenv("TMPDIR"); }

  std::string Failure() {
    try {
      Koi8Recoder(source_.string()).RecodeFile(false);
      return "no FileError";
    } catch (const FileError& error) {
      return error.what();
    }
  }

  const char* previous_ = std::getenv("TMPDIR");
  test::TempDirectory root_;
  fs::path temp_ = root_.Path() / "tmp", source_ = root_.Path() / "a.htm";
};

TEST_F(Koi8RecoderTest, TheRecodedTextComesThroughADescriptorOnlyWithTheSourcesTime) {
  std::vector<std::tuple<std::string, bool, std::string>> cases = {
      {"<html>\r\n<meta http-equiv=Content-Type content='text/html; charset=windows-1251'>\r\n\xCF\xF0\xE8 \xA8\xB8",
       false, "<html>\r\n\r\n\xF0\xD2\xC9 \xB3\xA3"},
      {"\x93?\x94", false, "???"},  // characters KOI8-R lacks; a "?" of the text stays
      {"\x93?\x94", true, " ? "},
      {std::string(3 << 20, '\xE0') + "<html><meta http-equiv charset content>", true,
       std::string(3 << 20, '\xC1') + "<html>"}};  // longer than the stream's blocks
  // A declaration across the end of the first block, from all in it to all
  // after it, and decided before the text ends.
  const std::string decl = "<meta http-equiv=Content-Type content='text/html; charset=windows-1251'>";
  const std::string after(CharsetMetaRemover::kLongestTag, 'y');
  for (const std::size_t inFirst :
       {decl.size(), decl.size() - 1, decl.size() / 2, std::size_t{5}, std::size_t{1}, std::size_t{0}}) {
    const std::string before(Koi8Recoder::kBlockSize - inFirst - 6, 'x');
    cases.emplace_back("<html>" + before + decl + after, false, "<html>" + before + after);
  }
  for (const auto& [source, noQuestionMarks, expected] : cases) {
    SCOPED_TRACE(source.substr(0, 40) + "..., " + std::to_string(source.size()) + " bytes");
    test::WriteFile(source_, source);
    const FileDescriptor recoded = Koi8Recoder(source_.string()).RecodeFile(noQuestionMarks);
    EXPECT_TRUE(fs::is_empty(temp_));  // nothing is left, nothing can be opened by name
    std::string text(expected.size() + 1, '\0');
    EXPECT_EQ(::read(recoded.Get(), text.data(), text.size()), static_cast<ssize_t>(expected.size()));
    text.resize(expected.size());
    EXPECT_TRUE(text == expected);
    EXPECT_EQ(Koi8Recoder(source_.string()).RecodedSize(), static_cast<std::int64_t>(expected.size()));
    struct stat recodedStatus {
    }, sourceStatus{};
    ::fstat(recoded.Get(), &recodedStatus), ::stat(source_.c_str(), &sourceStatus);
    EXPECT_EQ(recodedStatus.st_mtim.tv_sec, sourceStatus.st_mtim.tv_sec);
    EXPECT_EQ(recodedStatus.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFile(source_), source);
  }
}

TEST_F(Koi8RecoderTest, FailureNamesTheFile) {
  EXPECT_EQ(Failure(), source_.string() + " was not found.");
  test::EnforcePermissionChecks permissionChecks;
  test::WriteFile(source_, "text");
  fs::permissions(source_, fs::perms::none);
  EXPECT_EQ(Failure(), "Access to " + source_.string() + " was denied.");
  fs::permissions(source_, fs::perms::owner_read);
  fs::permissions(temp_, fs::perms::owner_read | fs::perms::owner_exec);
  // The temporary folder is named, not the pattern of a file never made.
  EXPECT_EQ(Failure(), "Access to " + temp_.string() + " was denied.");
  ::setenv("TMPDIR", (temp_ / "missing").c_str(), 1);
  EXPECT_EQ(Failure(), (temp_ / "missing").string() + " was not found.");
}

}  // namespace
}  // namespace ostrel
