#include "ftp/FtpListParser.h"

#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "ftp/FtpCalendar.h"
#include "ftp/FtpMlsdParser.h"

namespace ostrel {

namespace {

// A server ahead of UTC lists a file written just now with a time that is
// still in the future for us; without the grace it would land a year back.
constexpr std::int64_t kFutureGraceSeconds = 24 * 60 * 60;

struct Token {
  std::size_t begin;
  std::size_t end;
};

bool IsBlank(char character) { return character == ' ' || character == '\t'; }

std::vector<Token> SplitIntoTokens(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t position = 0;
  while (position < line.size()) {
    while (position < line.size() && IsBlank(line[position])) ++position;
    if (position == line.size()) break;
    const std::size_t begin = position;
    while (position < line.size() && !IsBlank(line[position])) ++position;
    tokens.push_back({begin, position});
  }
  return tokens;
}

bool AllDigits(std::string_view text) {
  for (char character : text)
    if (character < '0' || character > '9') return false;
  return !text.empty();
}

int ToNumber(std::string_view digits) { return std::stoi(std::string(digits)); }

// 1 to 12 for an English month abbreviation in any letter case, else 0.
int MonthNumber(std::string_view text) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  if (text.size() != 3) return 0;
  std::string lower(text);
  for (char& character : lower) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
  for (std::size_t index = 0; index < kMonths.size(); ++index)
    if (kMonths[index] == lower) return static_cast<int>(index) + 1;
  return 0;
}

// "H:MM" or "HH:MM"; false when the text is not of that shape.
bool SplitClockTime(std::string_view text, int& hour, int& minute) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
  if (!AllDigits(text.substr(0, colon)) || !AllDigits(text.substr(colon + 1))) return false;
  hour = ToNumber(text.substr(0, colon));
  minute = ToNumber(text.substr(colon + 1));
  return true;
}

std::optional<std::int64_t> MostRecentOccurrence(int month, int day, int hour, int minute, std::int64_t nowUtc) {
  const int nowYear = UtcYearOf(nowUtc);
  // Eight years back always reaches a leap year, for "Feb 29".
  for (int year = nowYear + 1; year >= nowYear - 8; --year) {
    const auto seconds = UtcSecondsFromFields(year, month, day, hour, minute, 0);
    if (seconds && *seconds <= nowUtc + kFutureGraceSeconds) return seconds;
  }
  return std::nullopt;
}

// The nine columns after the type in "-rwsr-x--T". Empty for a letter of
// another notation: such a server shows no mode we can trust.
std::optional<unsigned> ParsePermissionColumns(std::string_view columns) {
  static constexpr std::string_view kPlain = "rwxrwxrwx";
  unsigned mode = 0;
  for (std::size_t index = 0; index < kPlain.size(); ++index) {
    const char letter = columns[index];
    const unsigned bit = 0400u >> index;
    // The execute columns of owner, group and others also show set-user-id,
    // set-group-id and sticky.
    const bool special = index % 3 == 2;
    const unsigned specialBit = 04000u >> (index / 3);
    const char setLetter = index == 8 ? 't' : 's';
    if (letter == kPlain[index])
      mode |= bit;
    else if (special && letter == setLetter)
      mode |= bit | specialBit;
    else if (special && letter == std::toupper(setLetter))
      mode |= specialBit;
    else if (letter != '-')
      return std::nullopt;
  }
  return mode;
}

std::optional<FtpFindEntry> ParseUnixLine(std::string_view line, const std::vector<Token>& tokens,
                                          std::int64_t nowUtc) {
  auto text = [&](std::size_t index) {
    return line.substr(tokens[index].begin, tokens[index].end - tokens[index].begin);
  };
  const std::string_view mode = text(0);
  if (mode.size() < 10 || std::string_view("-dlbcps").find(mode[0]) == std::string_view::npos) return std::nullopt;
  // The owner and group columns vary between servers (some leave the group
  // out), so the date is found as the first "size month day time-or-year" run.
  for (std::size_t index = 2; index + 2 < tokens.size(); ++index) {
    const int month = MonthNumber(text(index));
    const std::string_view day = text(index + 1);
    const std::string_view timeOrYear = text(index + 2);
    if (month == 0 || !AllDigits(text(index - 1)) || !AllDigits(day) || day.size() > 2) continue;
    int hour = 0;
    int minute = 0;
    const bool hasClockTime = SplitClockTime(timeOrYear, hour, minute);
    if (!hasClockTime && !(timeOrYear.size() == 4 && AllDigits(timeOrYear))) continue;
    const std::size_t nameStart = tokens[index + 2].end + 1;
    if (nameStart >= line.size()) return std::nullopt;

    FtpFindEntry entry;
    entry.name = std::string(line.substr(nameStart));
    entry.isDirectory = mode[0] == 'd';
    if (mode[0] == 'l') {
      const auto arrow = entry.name.find(" -> ");
      if (arrow != std::string::npos) entry.name.resize(arrow);
    }
    entry.isDotEntry = entry.name == "." || entry.name == "..";
    entry.lastWriteUtc = hasClockTime ? MostRecentOccurrence(month, ToNumber(day), hour, minute, nowUtc)
                                      : UtcSecondsFromFields(ToNumber(timeOrYear), month, ToNumber(day), 0, 0, 0);
    if (!entry.isDirectory) entry.size = ParseSize(text(index - 1));
    entry.mode = ParsePermissionColumns(mode.substr(1));
    return entry;
  }
  return std::nullopt;
}

// "MM-DD-YY" or "MM-DD-YYYY"; a two-digit year below 70 is in the 2000s.
bool SplitDosDate(std::string_view text, int& year, int& month, int& day) {
  if ((text.size() != 8 && text.size() != 10) || text[2] != '-' || text[5] != '-') return false;
  const std::string_view yearDigits = text.substr(6);
  if (!AllDigits(text.substr(0, 2)) || !AllDigits(text.substr(3, 2)) || !AllDigits(yearDigits)) return false;
  month = ToNumber(text.substr(0, 2));
  day = ToNumber(text.substr(3, 2));
  year = ToNumber(yearDigits);
  if (yearDigits.size() == 2) year += year < 70 ? 2000 : 1900;
  return true;
}

// "06:15PM" (12-hour) or "18:15" (24-hour).
bool SplitDosTime(std::string_view text, int& hour, int& minute) {
  std::string_view suffix;
  if (text.size() > 2) {
    suffix = text.substr(text.size() - 2);
    if (suffix == "AM" || suffix == "PM" || suffix == "am" || suffix == "pm")
      text.remove_suffix(2);
    else
      suffix = {};
  }
  if (!SplitClockTime(text, hour, minute)) return false;
  if (suffix.empty()) return true;
  if (hour < 1 || hour > 12) {
    hour = -1;  // not a 12-hour time: the date stays unread
    return true;
  }
  const bool afternoon = suffix == "PM" || suffix == "pm";
  hour = hour % 12 + (afternoon ? 12 : 0);
  return true;
}

std::optional<FtpFindEntry> ParseDosLine(std::string_view line, const std::vector<Token>& tokens) {
  if (tokens.size() < 4) return std::nullopt;
  auto text = [&](std::size_t index) {
    return line.substr(tokens[index].begin, tokens[index].end - tokens[index].begin);
  };
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (!SplitDosDate(text(0), year, month, day) || !SplitDosTime(text(1), hour, minute)) return std::nullopt;
  const std::string_view sizeOrDirectory = text(2);
  const bool isDirectory = sizeOrDirectory == "<DIR>";
  if (!isDirectory && !AllDigits(sizeOrDirectory)) return std::nullopt;

  FtpFindEntry entry;
  entry.name = std::string(line.substr(tokens[3].begin));
  entry.isDirectory = isDirectory;
  entry.isDotEntry = entry.name == "." || entry.name == "..";
  entry.lastWriteUtc = UtcSecondsFromFields(year, month, day, hour, minute, 0);
  if (!isDirectory) entry.size = ParseSize(sizeOrDirectory);
  return entry;
}

}  // namespace

std::optional<FtpFindEntry> ParseListLine(std::string_view line, std::int64_t nowUtc) {
  const std::vector<Token> tokens = SplitIntoTokens(line);
  if (tokens.size() < 4) return std::nullopt;
  if (auto entry = ParseDosLine(line, tokens)) return entry;
  return ParseUnixLine(line, tokens, nowUtc);
}

}  // namespace ostrel
