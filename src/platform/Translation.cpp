#include "platform/Translation.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <vector>

namespace ostrel {
namespace {

constexpr const char* kDomain = "ostrel";

}  // namespace

void StartTranslation(TranslationOutput output) {
  std::setlocale(LC_ALL, "");
  const char* directory = std::getenv("OSTREL_LOCALEDIR");
  ::bindtextdomain(kDomain, directory != nullptr && *directory != '\0' ? directory : OSTREL_INSTALLED_LOCALEDIR);
  if (output == TranslationOutput::Utf8) ::bind_textdomain_codeset(kDomain, "UTF-8");
  ::textdomain(kDomain);
  // Texts that stay English keep their numbers English too ("0.42 s", not
  // "0,42 s"), so that they read as they always did in every locale.
  if (TranslationLanguage().empty()) std::setlocale(LC_NUMERIC, "C");
}

const char* Translate(const char* text) {
  // The empty text would give the catalogue's header.
  return *text == '\0' ? text : ::dgettext(kDomain, text);
}

const char* TranslatePlural(const char* singular, const char* plural, unsigned long count) {
  return ::dngettext(kDomain, singular, plural, count);
}

std::string Translate(std::string_view text) { return Translate(std::string(text).c_str()); }

std::string TranslationLanguage() {
  const std::string header = ::dgettext(kDomain, "");
  constexpr std::string_view kField = "Language: ";
  const std::size_t start = header.find(kField);
  if (start == std::string::npos) return {};
  const std::size_t end = header.find('\n', start);
  return header.substr(start + kField.size(), end == std::string::npos ? end : end - start - kField.size());
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> values) {
  const std::vector<std::string_view> given(values);
  std::string text;
  std::size_t next = 0;
  for (std::size_t index = 0; index < pattern.size(); ++index) {
    if (pattern[index] != '%') {
      text += pattern[index];
      continue;
    }
    if (pattern.substr(index + 1, 1) == "%") {
      text += '%';
      ++index;
      continue;
    }
    // "%2$s": the second value, wherever the translation needs it.
    std::size_t end = index + 1, position = next;
    std::size_t digits = end;
    while (digits < pattern.size() && pattern[digits] >= '0' && pattern[digits] <= '9') ++digits;
    const bool numbered = digits > end && pattern.substr(digits, 1) == "$";
    if (numbered) {
      position = std::stoul(std::string(pattern.substr(end, digits - end))) - 1;
      end = digits + 1;
    }
    if (pattern.substr(end, 1) == "s" && position < given.size()) {
      text += given[position];
      index = end;
      if (!numbered) ++next;
    } else {
      text += '%';
    }
  }
  return text;
}

}  // namespace ostrel
