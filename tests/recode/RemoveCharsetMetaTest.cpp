#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "recode/RemoveCharsetMeta.h"

namespace ostrel {
namespace {

using namespace std::string_literals;

const std::string kDeclaration =
    R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">)";

struct Case {
  const char* name;
  std::string text;
  std::string expected;
};

const std::vector<Case> kCases = {
    {"declaration on its own line goes, its line break stays",
     "<html>\r\n<head>\r\n" + kDeclaration + "\r\n<title>\xCF\xF0\xE8\xE2\xE5\xF2</title>",
     "<html>\r\n<head>\r\n\r\n<title>\xCF\xF0\xE8\xE2\xE5\xF2</title>"},
    {"letter case, attribute order and quoting do not matter",
     "<html><MeTa CONTENT='text/html; CharSet=koi8-r' HTTP-Equiv=content-type>x", "<html>x"},
    {"name and content without http-equiv stay",
     R"(<html><meta name="description" content="a charset table">)",
     R"(<html><meta name="description" content="a charset table">)"},
    {"content type without charset stays", R"(<html><meta http-equiv="Content-Type" content="text/html">)",
     R"(<html><meta http-equiv="Content-Type" content="text/html">)"},
    {"refresh to a page named charset.htm goes",
     R"(<html><meta http-equiv="Refresh" content="0; url=charset.htm">!)", "<html>!"},
    {"declaration at position 0 stays", kDeclaration + "x", kDeclaration + "x"},
    {"a \"<\" at position 4 is never examined", "1234" + kDeclaration, "1234" + kDeclaration},
    {"a \"<\" at position 5 is the first examined", "12345" + kDeclaration + "6", "123456"},
    {"a space between \"<\" and META spares it", "<html>< meta http-equiv=x charset content>",
     "<html>< meta http-equiv=x charset content>"},
    {"another tag with the same words stays", "<html><link http-equiv=x charset content>",
     "<html><link http-equiv=x charset content>"},
    {"METAX passes the keyword test", "<html><metax http-equiv=x charset content>!", "<html>!"},
    {"META without any \">\" leaves the rest alone", "<html><meta http-equiv=x charset content",
     "<html><meta http-equiv=x charset content"},
    {"a zero byte before the declaration ends the scan", "<html>\0"s + kDeclaration,
     "<html>\0"s + kDeclaration},
    {"bytes after a zero byte move with the rest", "<html>" + kDeclaration + "\0tail"s, "<html>\0tail"s},
    {"every declaration goes, also adjacent ones",
     "<html>" + kDeclaration + "<p>" + kDeclaration + kDeclaration + "\n", "<html><p>\n"},
    {"a kept META tag does not stop the next one",
     "<html><meta name=author content=x>\n" + kDeclaration + "\n", "<html><meta name=author content=x>\n\n"},
    {"the first \">\" ends the tag even inside quotes, what follows stays",
     R"(<html><meta http-equiv=Content-Type charset content="a>b">)", R"(<html>b">)"},
    {"the part up to a quoted \">\" lacks charset, so it stays",
     R"(<html><meta http-equiv="Content-Type" content="a>b; charset=windows-1251">)",
     R"(<html><meta http-equiv="Content-Type" content="a>b; charset=windows-1251">)"},
    {"empty text", "", ""},
};

void PrintTo(const Case& testCase, std::ostream* out) { *out << testCase.name; }

class RemoveCharsetMetaTest : public ::testing::TestWithParam<Case> {};

TEST_P(RemoveCharsetMetaTest, LeavesTheExpectedTextZeroTerminated) {
  const Case& testCase = GetParam();
  // The byte after the text is the caller's spare one; it must receive the zero.
  std::vector<char> buffer(testCase.text.begin(), testCase.text.end());
  buffer.push_back('#');
  std::size_t length = testCase.text.size();

  RemoveCharsetMeta(buffer.data(), length);

  EXPECT_EQ(std::string(buffer.data(), length), testCase.expected);
  EXPECT_EQ(buffer[length], '\0');
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveCharsetMetaTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c != '\0'; ++c)
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return name;
                         });

}  // namespace
}  // namespace ostrel
