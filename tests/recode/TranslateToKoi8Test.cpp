#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "recode/TranslateToKoi8.h"
#include "recode/Win1251ToKoi8.h"

namespace ostrel {
namespace {

std::string TranslateByteByByte(std::string text, bool noQuestionMarks) {
  for (char& byte : text) {
    const auto source = static_cast<std::uint8_t>(byte);
    std::uint8_t koi8 = Win1251ToKoi8[source];
    if (noQuestionMarks && koi8 == '?' && source != '?') koi8 = ' ';
    byte = static_cast<char>(koi8);
  }
  return text;
}

std::string Translate(std::string text, bool noQuestionMarks) {
  TranslateToKoi8(text.data(), text.size(), noQuestionMarks);
  return text;
}

// The pass looks bytes up in pairs; every pair, in both modes, must come out
// as its two bytes translated one by one.
TEST(TranslateToKoi8Test, EveryBytePairInBothModes) {
  std::string allPairs(2 * 65536, '\0');
  for (std::size_t pair = 0; pair < 65536; ++pair) {
    allPairs[2 * pair] = static_cast<char>(pair & 0xFF);
    allPairs[2 * pair + 1] = static_cast<char>(pair >> 8);
  }
  for (const bool noQuestionMarks : {false, true}) {
    SCOPED_TRACE(noQuestionMarks ? "no question marks" : "question marks");
    EXPECT_EQ(Translate(allPairs, noQuestionMarks), TranslateByteByByte(allPairs, noQuestionMarks));
  }
}

// The pass skips blocks of ASCII; a lone high byte anywhere in or after a
// block, at any length, must still be translated.
TEST(TranslateToKoi8Test, HighBytesAtEveryPositionOfMostlyAsciiTexts) {
  for (std::size_t length = 1; length <= 70; ++length) {
    for (std::size_t position = 0; position < length; ++position) {
      std::string text(length, 'a');
      text[position] = '\xE0';
      const std::string translated = Translate(text, false);
      ASSERT_EQ(translated, TranslateByteByByte(text, false))
          << "length " << length << " position " << position;
    }
  }
}

TEST(TranslateToKoi8Test, RandomTextsMatchByteByByteTranslation) {
  std::mt19937 generator(1251);
  std::uniform_int_distribution<int> byteValue(0, 255);
  std::bernoulli_distribution ascii(0.9);
  for (int round = 0; round < 200; ++round) {
    std::string text(round * 3, '\0');
    for (char& byte : text)
      byte = static_cast<char>(ascii(generator) ? byteValue(generator) & 0x7F : byteValue(generator));
    const bool noQuestionMarks = round % 2 == 1;
    ASSERT_EQ(Translate(text, noQuestionMarks), TranslateByteByByte(text, noQuestionMarks))
        << "round " << round;
  }
}

}  // namespace
}  // namespace ostrel
