#include "recode/TranslateToKoi8.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "recode/Win1251ToKoi8.h"

namespace ostrel {
namespace {

using ByteTable = std::array<std::uint8_t, 256>;

// A table of its own for the mode without question marks keeps that choice out
// of the loop: still one lookup per byte.
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

// Two bytes per lookup through a table of all byte pairs, which doubles the
// speed of the pass over one lookup per byte. The table is 128 KB; Russian
// text touches only a few KB of it. Each byte of a pair is translated in its
// own place, so the byte order of the machine does not matter.
using PairTable = std::array<std::uint16_t, 65536>;

struct Tables {
  const ByteTable& bytes;
  const PairTable& pairs;
};

PairTable MakePairTable(const ByteTable& bytes) {
  PairTable pairs{};
  for (std::size_t pair = 0; pair < pairs.size(); ++pair)
    pairs[pair] = static_cast<std::uint16_t>(bytes[pair & 0xFF] | bytes[pair >> 8] << 8);
  return pairs;
}

Tables TablesFor(bool noQuestionMarks) {
  static const PairTable withQuestionMarks = MakePairTable(Win1251ToKoi8);
  static const PairTable withoutQuestionMarks = MakePairTable(kWin1251ToKoi8WithoutQuestionMarks);
  if (noQuestionMarks) return {kWin1251ToKoi8WithoutQuestionMarks, withoutQuestionMarks};
  return {Win1251ToKoi8, withQuestionMarks};
}

// Markup, spaces and line ends are ASCII, which maps to itself: a block
// without a high bit is left alone, and only blocks with Cyrillic text pay for
// the lookups.
void Translate(unsigned char* bytes, std::size_t length, const Tables& tables) {
  constexpr std::size_t kBlock = 16;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + kBlock <= length; i += kBlock) {
    std::uint64_t words[kBlock / 8];
    std::memcpy(words, bytes + i, kBlock);
    if (((words[0] | words[1]) & kHighBits) == 0) continue;
    std::uint16_t pairs[kBlock / 2];
    std::memcpy(pairs, bytes + i, kBlock);
    for (std::uint16_t& pair : pairs) pair = tables.pairs[pair];
    std::memcpy(bytes + i, pairs, kBlock);
  }
  for (; i < length; ++i) bytes[i] = tables.bytes[bytes[i]];
}

}  // namespace

void TranslateToKoi8(char* text, std::size_t length, bool noQuestionMarks) {
  Translate(reinterpret_cast<unsigned char*>(text), length, TablesFor(noQuestionMarks));
}

}  // namespace ostrel
