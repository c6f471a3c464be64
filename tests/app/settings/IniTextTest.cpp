#include "app/settings/IniText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ostrel {
namespace {

struct FindCase {
  const char* description;
  std::string text;
  std::string section;
  std::string key;
  std::optional<std::string> expected;
};

TEST(FindIniValue, FollowsTheProfileConventions) {
  const FindCase cases[] = {
      {"plain", "[Parameters]\nHost=ftp.example.org\n", "Parameters", "Host", "ftp.example.org"},
      {"letter case of section and key", "[pARAMETERS]\nHOST=a\n", "Parameters", "Host", "a"},
      {"blanks around names and value", "  [ Parameters ]  \n \tHost\t =  a b \t\n", "Parameters", "Host",
       "a b"},
      {"CR LF line endings", "[Parameters]\r\nHost=a\r\n", "Parameters", "Host", "a"},
      {"last line without line ending", "[Parameters]\nHost=last", "Parameters", "Host", "last"},
      {"present but empty", "[Parameters]\nHost=\n", "Parameters", "Host", ""},
      {"quotes and separators are part of the value", "[Parameters]\nHost=\"a=b\";c\n", "Parameters",
       "Host", "\"a=b\";c"},
      {"key in another section", "[Other]\nHost=x\n[Parameters]\nName=y\n", "Parameters", "Host",
       std::nullopt},
      {"key before any section", "Host=x\n[Parameters]\n", "Parameters", "Host", std::nullopt},
      {"commented out", "[Parameters]\n;Host=x\n", "Parameters", "Host", std::nullopt},
      {"line without equals sign", "[Parameters]\nHost\n", "Parameters", "Host", std::nullopt},
      {"longer names do not match", "[Parameters2]\nHost=x\n[Parameters]\nHostname=y\n", "Parameters",
       "Host", std::nullopt},
      {"first of two keys", "[Parameters]\nHost=1\nhost=2\n", "Parameters", "Host", "1"},
      {"key in a repeated section", "[Parameters]\nA=1\n[Other]\n[parameters]\nHost=2\n", "Parameters",
       "Host", "2"},
      {"no file contents", "", "Parameters", "Host", std::nullopt},
  };
  for (const FindCase& testCase : cases) {
    EXPECT_EQ(FindIniValue(testCase.text, testCase.section, testCase.key), testCase.expected)
        << testCase.description;
  }
}

struct SetCase {
  const char* description;
  std::string text;
  std::string key;
  std::string value;
  std::string expected;
};

TEST(SetIniValue, ChangesOnlyTheOneEntry) {
  const SetCase cases[] = {
      {"empty file", "", "Host", "a", "[Parameters]\nHost=a\n"},
      {"replaced in place, spelling and indentation kept",
       "; settings\n[PARAMETERS]\n  host = old value \nName=n\n[Other]\nHost=o\n", "Host", "new",
       "; settings\n[PARAMETERS]\n  host = new\nName=n\n[Other]\nHost=o\n"},
      {"first of two keys replaced", "[Parameters]\nHost=1\nHost=2\n", "Host", "3",
       "[Parameters]\nHost=3\nHost=2\n"},
      {"empty value", "[Parameters]\nHost=x\n", "Host", "", "[Parameters]\nHost=\n"},
      {"appended after the section's last key", "[Parameters]\nA=1\n; note\n\n[Other]\nB=2\n", "Host", "a",
       "[Parameters]\nA=1\nHost=a\n; note\n\n[Other]\nB=2\n"},
      {"appended to an empty section", "[Parameters]\n[Other]\n", "Host", "a",
       "[Parameters]\nHost=a\n[Other]\n"},
      {"appended after a last line without line ending", "[Parameters]\nA=1", "Host", "a",
       "[Parameters]\nA=1\nHost=a\n"},
      {"appended to the first of two sections", "[Parameters]\nA=1\n[Other]\n[Parameters]\nB=2\n", "Host",
       "a", "[Parameters]\nA=1\nHost=a\n[Other]\n[Parameters]\nB=2\n"},
      {"replaced in the second of two sections", "[Parameters]\nA=1\n[Parameters]\nHost=x\n", "Host", "a",
       "[Parameters]\nA=1\n[Parameters]\nHost=a\n"},
      {"new section after the others", "; top\n[Other]\nX=1\n", "Host", "a",
       "; top\n[Other]\nX=1\n\n[Parameters]\nHost=a\n"},
      {"new section after a last line without line ending", "[Other]\nX=1", "Host", "a",
       "[Other]\nX=1\n\n[Parameters]\nHost=a\n"},
      {"new section after a blank line", "[Other]\nX=1\n\n", "Host", "a",
       "[Other]\nX=1\n\n[Parameters]\nHost=a\n"},
      {"CR LF kept on replacement", "[Parameters]\r\nHost=x\r\nA=1\r\n", "Host", "a",
       "[Parameters]\r\nHost=a\r\nA=1\r\n"},
      {"CR LF used for an appended key", "[Parameters]\r\nA=1\r\n", "Host", "a",
       "[Parameters]\r\nA=1\r\nHost=a\r\n"},
      {"CR LF used for a new section", "[Other]\r\nB=2\r\n", "Host", "a",
       "[Other]\r\nB=2\r\n\r\n[Parameters]\r\nHost=a\r\n"},
      {"value written unchanged", "", "Host", " \"x=y\"; z ", "[Parameters]\nHost= \"x=y\"; z \n"},
  };
  for (const SetCase& testCase : cases) {
    const std::string result = SetIniValue(testCase.text, "Parameters", testCase.key, testCase.value);
    EXPECT_EQ(result, testCase.expected) << testCase.description;
  }
}

TEST(IsStorableIniEntry, RefusesWhatWouldReadBackAsSomethingElse) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    bool storable;
  };
  const Case cases[] = {
      {"Parameters", "Host", "a=b;\"c\" [d]", true},
      {"Parameters", "Host", "", true},
      {"Parameters", "Host", "first\nInjected=1", false},
      {"Parameters", "Host", "first\r", false},
      {"Parameters", "Ho=st", "a", false},
      {"Parameters", ";Host", "a", false},
      {"Parameters", "[Host]", "a", false},
      {"Parameters", " ", "a", false},
      {"Para]meters", "Host", "a", false},
      {"", "Host", "a", false},
      {"Para\nmeters", "Host", "a", false},
  };
  for (const Case& testCase : cases) {
    EXPECT_EQ(IsStorableIniEntry(testCase.section, testCase.key, testCase.value), testCase.storable)
        << testCase.section << " / " << testCase.key << " / " << testCase.value;
  }
}

}  // namespace
}  // namespace ostrel
