#include "ftp/FtpMlsdParser.h"

#include <cctype>
#include <string>

#include "ftp/FtpCalendar.h"

namespace ostrel {

namespace {

std::string Lowercase(std::string_view text) {
  std::string result(text);
  for (char& character : result) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
  return result;
}

bool AllDigits(std::string_view text) {
  for (char character : text)
    if (character < '0' || character > '9') return false;
  return !text.empty();
}

int NumberAt(std::string_view text, std::size_t position, std::size_t length) {
  return std::stoi(std::string(text.substr(position, length)));
}

// "0755", "755" or, from pyftpdlib, "0o755"; a file type in front is dropped.
std::optional<unsigned> ParseOctalMode(std::string_view value) {
  if (value.size() > 2 && value[0] == '0' && (value[1] == 'o' || value[1] == 'O')) value.remove_prefix(2);
  if (value.empty() || value.size() > 7) return std::nullopt;
  unsigned mode = 0;
  for (const char digit : value) {
    if (digit < '0' || digit > '7') return std::nullopt;
    mode = mode * 8 + static_cast<unsigned>(digit - '0');
  }
  return mode & 07777;
}

}  // namespace

// "YYYYMMDDHHMMSS", optionally followed by ".fraction", which is dropped.
std::optional<std::int64_t> ParseModifyTime(std::string_view value) {
  const auto dot = value.find('.');
  if (dot != std::string_view::npos) {
    if (!AllDigits(value.substr(dot + 1))) return std::nullopt;
    value = value.substr(0, dot);
  }
  if (value.size() != 14 || !AllDigits(value)) return std::nullopt;
  return UtcSecondsFromFields(NumberAt(value, 0, 4), NumberAt(value, 4, 2), NumberAt(value, 6, 2),
                              NumberAt(value, 8, 2), NumberAt(value, 10, 2), NumberAt(value, 12, 2));
}

std::optional<std::int64_t> ParseSize(std::string_view digits) {
  // Eighteen digits cannot overflow 63 bits; no real file is that large.
  if (!AllDigits(digits) || digits.size() > 18) return std::nullopt;
  std::int64_t size = 0;
  for (const char digit : digits) size = size * 10 + (digit - '0');
  return size;
}

std::optional<FtpFindEntry> ParseMlsdLine(std::string_view line) {
  const auto space = line.find(' ');
  if (space == std::string_view::npos || space + 1 >= line.size()) return std::nullopt;
  const std::string_view facts = line.substr(0, space);
  FtpFindEntry entry;
  entry.name = std::string(line.substr(space + 1));
  bool hasFacts = false;
  std::size_t start = 0;
  while (start < facts.size()) {
    auto end = facts.find(';', start);
    if (end == std::string_view::npos) end = facts.size();
    const std::string_view fact = facts.substr(start, end - start);
    start = end + 1;
    const auto equals = fact.find('=');
    if (equals == std::string_view::npos) continue;
    hasFacts = true;
    const std::string name = Lowercase(fact.substr(0, equals));
    const std::string_view value = fact.substr(equals + 1);
    if (name == "type") {
      const std::string type = Lowercase(value);
      entry.isDirectory = type == "dir" || type == "cdir" || type == "pdir";
      entry.isDotEntry = type == "cdir" || type == "pdir";
    } else if (name == "modify") {
      entry.lastWriteUtc = ParseModifyTime(value);
    } else if (name == "size") {
      entry.size = ParseSize(value);
    } else if (name == "unix.mode") {
      entry.mode = ParseOctalMode(value);
    }
  }
  if (!hasFacts) return std::nullopt;
  if (entry.name == "." || entry.name == "..") entry.isDirectory = entry.isDotEntry = true;
  return entry;
}

}  // namespace ostrel
