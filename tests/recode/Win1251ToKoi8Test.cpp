#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "recode/Win1251ToKoi8.h"

namespace ostrel {
namespace {

// glibc's own CP1251 -> KOI8-R conversion, one byte at a time.
std::uint8_t ConvertWithIconv(iconv_t converter, std::uint8_t byte) {
  char in = static_cast<char>(byte);
  char out = 0;
  char* inPointer = &in;
  char* outPointer = &out;
  std::size_t inLeft = 1;
  std::size_t outLeft = 1;
  const std::size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  EXPECT_NE(result, static_cast<std::size_t>(-1)) << "iconv cannot convert byte " << int{byte};
  return static_cast<std::uint8_t>(out);
}

// Characters outside KOI8-R that pages use anyway: a KOI8 byte of the
// extended sets, or an ASCII look-alike.
const std::vector<std::pair<std::uint8_t, std::uint8_t>> kNamedExceptions = {
    {0x83, 0xA6}, {0x8F, 0xAC}, {0x95, 0x86}, {0x96, 0x2D}, {0x97, 0x2D}, {0xA0, 0x20}, {0xAD, 0x2D},
    {0xB0, 0xB3}, {0xB1, 0xB8}, {0xB2, 0xAA}, {0xB3, 0xBA}, {0xB4, 0xAF}, {0xB5, 0xBF}, {0xB6, 0xA1},
    {0xB7, 0xA2}, {0xBA, 0xB7}, {0xBC, 0xB9}, {0xBD, 0xA4}, {0xBF, 0xA0},
};

// Inclusive ranges of the bytes that have no counterpart and become "?".
const std::vector<std::pair<std::uint8_t, std::uint8_t>> kQuestionMarkRanges = {
    {0x80, 0x82}, {0x84, 0x8E}, {0x90, 0x94}, {0x98, 0x9F}, {0xA1, 0xA7},
    {0xA9, 0xAC}, {0xAE, 0xAF}, {0xB9, 0xB9}, {0xBB, 0xBB}, {0xBE, 0xBE},
};

TEST(Win1251ToKoi8Test, EveryEntryMatchesIconvLettersPlusNamedExceptionsAndQuestionMarks) {
  std::array<std::optional<std::uint8_t>, 256> expected;
  const auto assign = [&](int byte, std::uint8_t value) {
    ASSERT_FALSE(expected[byte].has_value()) << "byte " << byte << " is derived twice";
    expected[byte] = value;
  };

  const iconv_t converter = iconv_open("KOI8-R", "CP1251");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1)) << "glibc iconv lacks CP1251 or KOI8-R";
  for (int byte = 0x00; byte <= 0x7F; ++byte) assign(byte, ConvertWithIconv(converter, byte));
  for (int byte = 0xC0; byte <= 0xFF; ++byte) assign(byte, ConvertWithIconv(converter, byte));
  assign(0xA8, ConvertWithIconv(converter, 0xA8));
  assign(0xB8, ConvertWithIconv(converter, 0xB8));
  iconv_close(converter);

  for (const auto& [byte, value] : kNamedExceptions) assign(byte, value);
  int questionMarks = 0;
  for (const auto& [first, last] : kQuestionMarkRanges)
    for (int byte = first; byte <= last; ++byte, ++questionMarks) assign(byte, '?');
  EXPECT_EQ(kNamedExceptions.size(), 19u);
  EXPECT_EQ(questionMarks, 43);

  for (int byte = 0; byte < 256; ++byte) {
    ASSERT_TRUE(expected[byte].has_value()) << "byte " << byte << " is derived by no rule";
    EXPECT_EQ(int{Win1251ToKoi8[byte]}, int{*expected[byte]}) << "entry for byte 0x" << std::hex << byte;
  }
}

}  // namespace
}  // namespace ostrel
