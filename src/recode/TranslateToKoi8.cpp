#include "recode/TranslateToKoi8.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "recode/Win1251ToKoi8.h"

namespace ostrel {
namespace {

using ByteTable = std::array<std::uint8_t, 256>;

// With question marks suppressed the pass stays one lookup per byte.
constexpr ByteTable MakeTableWithoutQuestionMarks() {
  ByteTable table = Win1251ToKoi8;
  for (std::size_t byte = 0; byte < table.size(); ++byte)
    if (table[byte] == '?' && byte != '?') table[byte] = ' ';
  return table;
}

constexpr ByteTable kWin1251ToKoi8WithoutQuestionMarks = MakeTableWithoutQuestionMarks();

static_assert(
    [] {
      for (std::size_t byte = 0; byte < 0x80; ++byte)
        if (Win1251ToKoi8[byte] != byte || kWin1251ToKoi8WithoutQuestionMarks[byte] != byte) return false;
      return true;
    }(),
    "the pass skips ASCII runs, which is only right while ASCII maps to itself");

// Markup, spaces and line ends are ASCII, which maps to itself: a block
// without a high bit is left alone, and only blocks with Cyrillic text pay for
// the lookups.
void Translate(unsigned char* bytes, std::size_t length, const ByteTable& table) {
  constexpr std::size_t kBlock = 16;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + kBlock <= length; i += kBlock) {
    std::uint64_t words[2];
    std::memcpy(words, bytes + i, kBlock);
    if (((words[0] | words[1]) & kHighBits) == 0) continue;
    for (std::size_t k = 0; k < kBlock; ++k) bytes[i + k] = table[bytes[i + k]];
  }
  for (; i < length; ++i) bytes[i] = table[bytes[i]];
}

}  // namespace

void TranslateToKoi8(char* text, std::size_t length, bool noQuestionMarks) {
  Translate(reinterpret_cast<unsigned char*>(text), length,
            noQuestionMarks ? kWin1251ToKoi8WithoutQuestionMarks : Win1251ToKoi8);
}

}  // namespace ostrel
