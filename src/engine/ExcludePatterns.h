#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct RunSettings;

// The file at the root of the local directory whose lines are exclusion
// patterns; it is never uploaded itself.
inline constexpr const char* kIgnoreFileName = ".ostrelignore";

// Exclusion patterns in the syntax of .gitignore, the one every developer
// already writes: "*", "?" and "[...]" within one name, "**" across
// directories, a leading "/" (or any inner one) anchors to the local
// directory, a trailing "/" matches directories only, "!" takes back an
// earlier exclusion, "#" begins a comment, and the last pattern that matches
// decides. Names match case-sensitively, as the file system names them.
class ExcludePatterns {
 public:
  // Adds one line of a pattern file, or one item of the Exclude setting;
  // `source` names where it came from. A blank line and a comment add
  // nothing. Returns why the pattern is refused, else empty.
  std::string Add(std::string_view line, const std::string& source);

  // Whether the entry at `relativePath` (below the local directory, with "/"
  // between names) is left out: by a pattern of its own, or because a
  // directory above it is, which no "!" can take back (as in git).
  bool Excludes(std::string_view relativePath, bool isDirectory) const;

  bool Empty() const { return patterns_.empty(); }

 private:
  struct Pattern {
    std::string glob;
    bool negated = false;
    bool directoryOnly = false;
    bool anchored = false;  // matched against the whole path, else against the last name
  };
  // The last matching pattern's verdict, the directories above not asked.
  bool ExcludedByOwnPatterns(std::string_view relativePath, bool isDirectory) const;

  std::vector<Pattern> patterns_;
};

// Why a single pattern (an option's value) would be refused, else empty.
std::string ExcludePatternProblem(std::string_view pattern, const std::string& source);

// Every pattern of a run, in the order in which later ones win: the local
// directory's .ostrelignore, the Exclude setting (";" between patterns, each
// trimmed of the spaces around it), then each file of ExcludeFrom. Returns
// the message that stops the run (a pattern refused, a file that exists but
// cannot be read), else empty.
std::string LoadExcludePatterns(const RunSettings& settings, ExcludePatterns& patterns);

}  // namespace ostrel
