#include "engine/ExcludePatterns.h"

#include <filesystem>

#include "platform/DisplayText.h"
#include "platform/Translation.h"
#include "settings/AtomicFile.h"
#include "settings/RunSettings.h"

namespace ostrel {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Just past the "]" of the class that opens at glob[open]; kNone when it
// never closes, and the "[" is then a character like any other.
std::size_t ClassEnd(std::string_view glob, std::size_t open) {
  std::size_t position = open + 1;
  if (position < glob.size() && (glob[position] == '!' || glob[position] == '^')) ++position;
  if (position < glob.size() && glob[position] == ']') ++position;  // a "]" first is itself
  for (; position < glob.size(); ++position) {
    if (glob[position] == '\\')
      ++position;
    else if (glob[position] == ']')
      return position + 1;
  }
  return kNone;
}

// `body` is what stands between "[" and "]": characters, ranges such as
// "a-z", "\" before a character meant as itself, "!" or "^" first to negate.
bool ClassContains(std::string_view body, char character) {
  const bool negated = !body.empty() && (body.front() == '!' || body.front() == '^');
  const auto take = [&body](std::size_t& position) {
    if (body[position] == '\\' && position + 1 < body.size()) ++position;
    return static_cast<unsigned char>(body[position++]);
  };
  const auto wanted = static_cast<unsigned char>(character);
  bool found = false;
  for (std::size_t position = negated ? 1 : 0; position < body.size();) {
    const unsigned char low = take(position);
    unsigned char high = low;
    if (position + 1 < body.size() && body[position] == '-') high = take(++position);
    found = found || (low <= wanted && wanted <= high);
  }
  return found != negated;
}

// "*", "?" and a class never match "/"; "**" as a whole name matches any
// number of whole names ("**/", "/**/"), and at the end everything below.
bool GlobMatches(std::string_view glob, std::string_view text) {
  std::size_t at = 0;
  for (std::size_t position = 0; position < glob.size();) {
    const char next = glob[position];
    if (next == '*') {
      const bool wholeNames = position + 1 < glob.size() && glob[position + 1] == '*' &&
                              (position == 0 || glob[position - 1] == '/') &&
                              (position + 2 == glob.size() || glob[position + 2] == '/');
      if (wholeNames) {
        if (position + 2 == glob.size()) return true;
        const std::string_view rest = glob.substr(position + 3);
        for (std::size_t from = at;; from = text.find('/', from) + 1) {
          if (GlobMatches(rest, text.substr(from))) return true;
          if (text.find('/', from) == kNone) return false;
        }
      }
      while (position < glob.size() && glob[position] == '*') ++position;
      const std::string_view rest = glob.substr(position);
      for (std::size_t end = at;; ++end) {
        if (GlobMatches(rest, text.substr(end))) return true;
        if (end == text.size() || text[end] == '/') return false;
      }
    }
    if (at == text.size()) return false;
    if (next == '?') {
      if (text[at] == '/') return false;
      ++position, ++at;
      continue;
    }
    if (const std::size_t end = next == '[' ? ClassEnd(glob, position) : kNone; end != kNone) {
      if (text[at] == '/' || !ClassContains(glob.substr(position + 1, end - position - 2), text[at])) return false;
      position = end, ++at;
      continue;
    }
    if (next == '\\' && position + 1 < glob.size()) ++position;
    if (glob[position] != text[at]) return false;
    ++position, ++at;
  }
  return at == text.size();
}

std::string Refusal(std::string_view pattern, const std::string& source) {
  return FormatText(Translate("The exclusion pattern \"%s\" (%s) names nothing: it is refused, never read as every "
                              "file. Remove it or write what it should leave out."),
                    {EscapeControlCharacters(pattern), source});
}

// A pattern file: a missing one adds nothing where `missingIsFine`.
std::string AddPatternFile(const std::string& path, const std::string& shownName, bool missingIsFine,
                           ExcludePatterns& patterns) {
  const SmallFileRead read = ReadSmallRegularFile(path);
  if (read.missing && missingIsFine) return {};
  if (!read.contents)
    return FormatText(Translate("The pattern file %s cannot be read: %s. Nothing was published."),
                      {EscapeControlCharacters(path), read.problem});
  std::string_view rest = *read.contents;
  for (int number = 1; !rest.empty(); ++number) {
    const std::size_t end = rest.find('\n');
    if (std::string problem =
            patterns.Add(rest.substr(0, end), FormatText(Translate("%s line %s"), {shownName, std::to_string(number)}));
        !problem.empty())
      return problem;
    rest.remove_prefix(end == kNone ? rest.size() : end + 1);
  }
  return {};
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == kNone) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string ExcludePatterns::Add(std::string_view line, const std::string& source) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // Trailing spaces are not part of a pattern, unless a "\" keeps one.
  while (!line.empty() && line.back() == ' ' && !(line.size() >= 2 && line[line.size() - 2] == '\\'))
    line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return {};
  Pattern pattern;
  std::string_view glob = line;
  if (glob.front() == '!') pattern.negated = true, glob.remove_prefix(1);
  if (!glob.empty() && glob.back() == '/') pattern.directoryOnly = true, glob.remove_suffix(1);
  pattern.anchored = glob.find('/') != kNone;
  if (!glob.empty() && glob.front() == '/') glob.remove_prefix(1);
  // An empty pattern once matched a whole parent directory, which was then
  // deleted on the server: it is refused, never taken for "everything".
  if (glob.empty()) return Refusal(line, source);
  pattern.glob = std::string(glob);
  patterns_.push_back(std::move(pattern));
  return {};
}

bool ExcludePatterns::ExcludedByOwnPatterns(std::string_view relativePath, bool isDirectory) const {
  const std::string_view name = relativePath.substr(relativePath.rfind('/') + 1);
  bool excluded = false;
  for (const Pattern& pattern : patterns_) {
    // Only a pattern that would turn the verdict around needs matching.
    if (excluded != pattern.negated || (pattern.directoryOnly && !isDirectory)) continue;
    if (GlobMatches(pattern.glob, pattern.anchored ? relativePath : name)) excluded = !pattern.negated;
  }
  return excluded;
}

bool ExcludePatterns::Excludes(std::string_view relativePath, bool isDirectory) const {
  if (patterns_.empty()) return false;
  for (std::size_t slash = relativePath.find('/'); slash != kNone; slash = relativePath.find('/', slash + 1))
    if (ExcludedByOwnPatterns(relativePath.substr(0, slash), true)) return true;
  return ExcludedByOwnPatterns(relativePath, isDirectory);
}

std::string ExcludePatternProblem(std::string_view pattern, const std::string& source) {
  if (Trimmed(pattern).empty()) return Refusal(pattern, source);
  ExcludePatterns patterns;
  return patterns.Add(pattern, source);
}

std::string LoadExcludePatterns(const RunSettings& settings, ExcludePatterns& patterns) {
  const std::string ignoreFile = (std::filesystem::path(settings.LocalDir) / kIgnoreFileName).string();
  if (std::string problem = AddPatternFile(ignoreFile, kIgnoreFileName, true, patterns); !problem.empty())
    return problem;
  // An empty setting holds no pattern; an empty item in a filled one is a
  // pattern refused.
  if (!Trimmed(settings.Exclude).empty()) {
    std::string_view rest = settings.Exclude;
    for (int number = 1;; ++number) {
      const std::size_t end = rest.find(';');
      const std::string source = FormatText(Translate("Exclude, pattern %s"), {std::to_string(number)});
      const std::string_view item = Trimmed(rest.substr(0, end));
      if (item.empty()) return Refusal(item, source);
      if (std::string problem = patterns.Add(item, source); !problem.empty()) return problem;
      if (end == kNone) break;
      rest.remove_prefix(end + 1);
    }
  }
  for (const std::string& file : settings.ExcludeFrom)
    if (std::string problem = AddPatternFile(file, file, false, patterns); !problem.empty()) return problem;
  return {};
}

}  // namespace ostrel
