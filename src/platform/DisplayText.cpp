#include "platform/DisplayText.h"

#include <array>
#include <cstdio>

#include "platform/Translation.h"

namespace ostrel {

std::string EscapeControlCharacters(std::string_view text) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte >= 0x20 && byte != 0x7f) {
      escaped += character;
    } else if (character == '\n') {
      escaped += "\\n";
    } else if (character == '\r') {
      escaped += "\\r";
    } else if (character == '\t') {
      escaped += "\\t";
    } else {
      escaped += "\\x";
      escaped += kHexDigits[byte >> 4];
      escaped += kHexDigits[byte & 0x0f];
    }
  }
  return escaped;
}

std::string FormatBytes(double bytes) {
  constexpr std::array<const char*, 4> kUnits{Translatable("KiB"), Translatable("MiB"), Translatable("GiB"),
                                              Translatable("TiB")};
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, Translate("%.0f B"), bytes);
    return text;
  }
  std::size_t unit = 0;
  for (bytes /= 1024; bytes >= 1024 && unit + 1 < kUnits.size(); bytes /= 1024) ++unit;
  std::snprintf(text, sizeof text, "%.1f %s", bytes, Translate(kUnits[unit]));
  return text;
}

}  // namespace ostrel
