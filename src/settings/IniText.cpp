#include "settings/IniText.h"

#include <algorithm>
#include <vector>

namespace ostrel {
namespace {

// The blanks the profile functions drop around names and values.
constexpr std::string_view kBlanks = " \t\v\f\r";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Names are ASCII; bytes of the Cyrillic code page must not be folded.
char ToLowerAscii(char character) {
  return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

bool EqualsIgnoringAsciiCase(std::string_view left, std::string_view right) {
  return std::ranges::equal(left, right, [](char a, char b) { return ToLowerAscii(a) == ToLowerAscii(b); });
}

// Offsets of one line: [begin, contentEnd) is its text, [contentEnd, end)
// its line ending, empty on a last line without one.
struct Line {
  std::size_t begin;
  std::size_t contentEnd;
  std::size_t end;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t newline = text.find('\n', begin);
    if (newline == std::string_view::npos) {
      lines.push_back({begin, text.size(), text.size()});
      break;
    }
    const std::size_t contentEnd = newline > begin && text[newline - 1] == '\r' ? newline - 1 : newline;
    lines.push_back({begin, contentEnd, newline + 1});
    begin = newline + 1;
  }
  return lines;
}

std::string_view Content(std::string_view text, const Line& line) {
  return text.substr(line.begin, line.contentEnd - line.begin);
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;
  // Where the value begins within the line, after "=" and the blanks that follow it.
  std::size_t valueOffset = 0;
};

ParsedLine ParseLine(std::string_view content) {
  const std::string_view trimmed = Trim(content);
  if (trimmed.empty() || trimmed.front() == ';') return {};
  if (trimmed.front() == '[') {
    const std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::Section, Trim(trimmed.substr(1, close - 1)), 0};
  }
  const std::size_t equals = content.find('=');
  if (equals == std::string_view::npos) return {};
  const std::size_t valueOffset = content.find_first_not_of(kBlanks, equals + 1);
  return {LineKind::Key, Trim(content.substr(0, equals)),
          valueOffset == std::string_view::npos ? content.size() : valueOffset};
}

struct Location {
  // The line that holds the key, and where its value begins.
  std::optional<std::size_t> keyLine;
  std::size_t valueOffset = 0;
  // The last key line of the first matching section, or its header line:
  // a new key goes right after it.
  std::optional<std::size_t> insertAfterLine;
};

Location Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  Location location;
  bool inMatchingSection = false;
  bool inFirstMatchingSection = false;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const ParsedLine parsed = ParseLine(Content(text, lines[index]));
    if (parsed.kind == LineKind::Section) {
      inMatchingSection = EqualsIgnoringAsciiCase(parsed.name, section);
      inFirstMatchingSection = inMatchingSection && !location.insertAfterLine;
      if (inFirstMatchingSection) location.insertAfterLine = index;
    } else if (parsed.kind == LineKind::Key && inMatchingSection) {
      if (inFirstMatchingSection) location.insertAfterLine = index;
      if (EqualsIgnoringAsciiCase(parsed.name, key)) {
        location.keyLine = index;
        location.valueOffset = parsed.valueOffset;
        return location;
      }
    }
  }
  return location;
}

// New lines follow the file's first line; a file without line endings yet
// gets the platform's own.
std::string_view LineEnding(const std::vector<Line>& lines) {
  if (!lines.empty() && lines.front().end - lines.front().contentEnd == 2) return "\r\n";
  return "\n";
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  const Location location = Locate(text, lines, section, key);
  if (!location.keyLine) return std::nullopt;
  return std::string(Trim(Content(text, lines[*location.keyLine]).substr(location.valueOffset)));
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  const std::vector<Line> lines = SplitLines(text);
  const Location location = Locate(text, lines, section, key);
  const std::string_view newline = LineEnding(lines);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

  if (location.keyLine) {
    const Line& line = lines[*location.keyLine];
    result.append(text.substr(0, line.begin + location.valueOffset));
    result.append(value);
    result.append(text.substr(line.contentEnd));
    return result;
  }

  if (location.insertAfterLine) {
    const Line& line = lines[*location.insertAfterLine];
    result.append(text.substr(0, line.end));
    if (line.end == line.contentEnd) result.append(newline);
    result.append(key).append("=").append(value).append(newline);
    result.append(text.substr(line.end));
    return result;
  }

  result.append(text);
  if (!lines.empty()) {
    if (lines.back().end == lines.back().contentEnd) result.append(newline);
    // A blank line keeps the new section apart from the one before it.
    if (!Trim(Content(text, lines.back())).empty()) result.append(newline);
  }
  result.append("[").append(section).append("]").append(newline);
  result.append(key).append("=").append(value).append(newline);
  return result;
}

std::vector<std::string> IniSectionNames(std::string_view text) {
  std::vector<std::string> names;
  for (const Line& line : SplitLines(text)) {
    const ParsedLine parsed = ParseLine(Content(text, line));
    if (parsed.kind != LineKind::Section) continue;
    if (std::ranges::none_of(names,
                             [&](const std::string& name) { return EqualsIgnoringAsciiCase(name, parsed.name); }))
      names.emplace_back(parsed.name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> IniSectionEntries(std::string_view text, std::string_view section) {
  std::vector<std::pair<std::string, std::string>> entries;
  const std::vector<Line> lines = SplitLines(text);
  int matchingSections = 0;
  bool inSection = false;
  for (const Line& line : lines) {
    const std::string_view content = Content(text, line);
    const ParsedLine parsed = ParseLine(content);
    if (parsed.kind == LineKind::Section) {
      inSection = EqualsIgnoringAsciiCase(parsed.name, Trim(section)) && ++matchingSections == 1;
    } else if (parsed.kind == LineKind::Key && inSection && std::ranges::none_of(entries, [&](const auto& entry) {
                 return EqualsIgnoringAsciiCase(entry.first, parsed.name);
               })) {
      entries.emplace_back(parsed.name, Trim(content.substr(parsed.valueOffset)));
    }
  }
  return entries;
}

std::string RemoveIniEntry(std::string_view text, std::string_view section, std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  std::string result;
  result.reserve(text.size());
  if (!key.empty()) {
    const Location location = Locate(text, lines, section, key);
    if (!location.keyLine) return std::string(text);
    const Line& line = lines[*location.keyLine];
    return result.append(text.substr(0, line.begin)).append(text.substr(line.end));
  }
  // A removed section takes its lines up to the next section with it.
  bool removing = false;
  for (const Line& line : lines) {
    const ParsedLine parsed = ParseLine(Content(text, line));
    if (parsed.kind == LineKind::Section) removing = EqualsIgnoringAsciiCase(parsed.name, Trim(section));
    if (!removing) result.append(text.substr(line.begin, line.end - line.begin));
  }
  return result;
}

bool IsStorableIniEntry(std::string_view section, std::string_view key, std::string_view value) {
  const auto hasLineBreak = [](std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; };
  if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
  if (Trim(section).empty() || section.find(']') != std::string_view::npos) return false;
  const std::string_view keyName = Trim(key);
  return !keyName.empty() && key.find('=') == std::string_view::npos && keyName.front() != ';' &&
         keyName.front() != '[';
}

}  // namespace ostrel
