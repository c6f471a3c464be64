#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ostrel {

// The texts a user reads are written in English in the source and looked up
// in the catalogue of the text domain "ostrel" (GNU gettext) where they are
// shown: a text the catalogue lacks, or a run in the C locale, shows as
// written. Texts used as data (settings keys, FTP commands, options) are
// never looked up.

// How the looked-up texts are handed over: in the locale's own character set
// (a terminal in KOI8-R gets KOI8-R), or always in UTF-8, as the toolkit of
// the window takes them.
enum class TranslationOutput { LocaleCharset, Utf8 };

// Sets the whole locale from the environment (LC_ALL, LC_MESSAGES, LANG and,
// as GNU programs do, LANGUAGE) and binds the text domain to its catalogues:
// those in the directory OSTREL_LOCALEDIR names (a build tree), else the
// installed ones. Numbers are written the locale's way only where texts are
// translated. Called first thing in main, before any text is made.
void StartTranslation(TranslationOutput output);

// The catalogue's text for `text`; `text` itself when there is none. The
// format checks of printf-like callers see through it to the literal.
[[gnu::format_arg(1)]] const char* Translate(const char* text);
// The form of a text that goes with `count` in the language's plural rules.
[[gnu::format_arg(1), gnu::format_arg(2)]] const char* TranslatePlural(const char* singular, const char* plural,
                                                                       unsigned long count);
// For texts kept as data in tables (dialog templates, the settings table).
std::string Translate(std::string_view text);

// Marks a text in a table for the catalogue; it is looked up where shown.
constexpr const char* Translatable(const char* text) { return text; }

// The language of the catalogue in use, as its header names it ("ru"), or ""
// when texts show as written. Other catalogues (the toolkit's) follow it.
std::string TranslationLanguage();

// `pattern` with each "%s" replaced by the next value, "%N$s" by the Nth
// (a translation may put the values in another order) and "%%" by "%".
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace ostrel
