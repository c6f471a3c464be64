#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recode/IsRecodedExtension.h"

namespace ostrel {
namespace {

struct Case {
  std::string name;
  std::string extensions;
  bool recoded;
};

TEST(IsRecodedExtensionTest, ExtensionIsFoundAnywhereInTheUnsplitList) {
  const std::string defaults = "htm, html, txt";
  const std::vector<Case> cases = {
      {"index.htm", defaults, true},
      {"page.html", defaults, true},
      {"notes.txt", defaults, true},
      // Pieces of the list match too, by design.
      {"a.h", defaults, true},
      {"a.ml", defaults, true},
      {"a.tx", defaults, true},
      {"a.htm", "html", true},
      {"a.s, h", defaults, false},
      {"a.m, h", defaults, true},
      {"INDEX.HTM", defaults, false},
      {"style.css", defaults, false},
      {"README", defaults, false},
      {"a.", defaults, false},
      {"archive.txt.gz", defaults, false},
      {"gz.txt", defaults, true},
      {"index.htm", "", false},
  };
  for (const Case& testCase : cases)
    EXPECT_EQ(IsRecodedExtension(testCase.name, testCase.extensions), testCase.recoded)
        << "name \"" << testCase.name << "\", list \"" << testCase.extensions << "\"";
}

}  // namespace
}  // namespace ostrel
