// Exclusion patterns read as git reads .gitignore; the expected verdicts are
// what `git check-ignore` answers for the same lines and paths.
#include <gtest/gtest.h>

#include "engine/ExcludePatterns.h"
#include "settings/RunSettings.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

TEST(ExcludePatternsTest, EachPatternListLeavesOutWhatGitWouldIgnore) {
  const struct {
    std::vector<std::string> lines;
    std::string path;
    bool directory, excluded;
  } cases[] = {
      {{"*.bak"}, "d/e/page.bak", false, true},
      {{"*.bak"}, "page.bak.htm", false, false},
      {{"?.htm"}, "ab.htm", false, false},
      {{"[a-c]x[!0-9]"}, "bxy", false, true},
      {{"[a-c]x[!0-9]"}, "bx1", false, false},
      {{"d/*.htm"}, "d/e/f.htm", false, false},  // "*" stays within one name
      {{"**/logs"}, "a/b/logs", true, true},
      {{"**/logs/*.log"}, "logs/x.log", false, true},
      {{"a/**/b"}, "a/b", false, true},
      {{"a/**/b"}, "a/x/y/b", false, true},
      {{"a/**/b"}, "xa/b", false, false},
      {{"docs/**"}, "docs", true, false},
      {{"docs/**"}, "docs/x/y.htm", false, true},
      {{"/todo.txt"}, "todo.txt", false, true},
      {{"/todo.txt"}, "d/todo.txt", false, false},
      {{"doc/frotz"}, "a/doc/frotz", false, false},  // an inner "/" anchors too
      {{"build/"}, "src/build", true, true},
      {{"build/"}, "build", false, false},
      {{"build/"}, "build/keep.txt", false, true},
      {{"build/", "!build/keep.txt"}, "build/keep.txt", false, true},  // a parent left out cannot be taken back
      {{"build/*", "!build/keep.txt"}, "build/keep.txt", false, false},
      {{"*.log", "!important.log"}, "important.log", false, false},
      {{"!important.log", "*.log"}, "important.log", false, true},  // the last match decides
      {{"my notes.txt  "}, "my notes.txt", false, true},
      {{"my notes.txt"}, "my", false, false},
      {{"trailing\\ "}, "trailing ", false, true},
      {{"# a comment", "", "\\#hash"}, "#hash", false, true},
      {{"# a comment"}, "# a comment", false, false},
  };
  for (const auto& row : cases) {
    ExcludePatterns patterns;
    for (const std::string& line : row.lines) ASSERT_EQ(patterns.Add(line, "test"), "") << line;
    EXPECT_EQ(patterns.Excludes(row.path, row.directory), row.excluded)
        << testing::PrintToString(row.lines) << " on " << row.path;
  }
}

// An empty pattern once emptied a site: it is refused, naming where it stands.
TEST(ExcludePatternsTest, PatternsThatNameNothingAreRefusedWithTheirSource) {
  for (const char* pattern : {"", "  ", "/", "!", "!/", "//"})
    EXPECT_TRUE(ExcludePatternProblem(pattern, "--exclude")
                    .starts_with("The exclusion pattern \"" + std::string(pattern) + "\" (--exclude)"))
        << '"' << pattern << '"';
  test::TempDirectory local;
  const struct {
    std::string exclude, file, problem;  // the Exclude setting, the .ostrelignore; the message's beginning
  } cases[] = {
      {"*.bak; drafts/", "*~\n\n!keep~\n", ""},
      {"*.bak;;x", "", "The exclusion pattern \"\" (Exclude, pattern 2)"},
      {"*.bak;", "", "The exclusion pattern \"\" (Exclude, pattern 2)"},
      {"", "a\r\n!\r\n", "The exclusion pattern \"!\" (.ostrelignore line 2)"},
  };
  for (const auto& row : cases) {
    test::WriteFile(local.Path() / ".ostrelignore", row.file);
    RunSettings settings;
    settings.LocalDir = local.Path().string();
    settings.Exclude = row.exclude;
    ExcludePatterns patterns;
    EXPECT_EQ(LoadExcludePatterns(settings, patterns).substr(0, row.problem.size()), row.problem) << row.exclude;
  }
}

}  // namespace
}  // namespace ostrel
