#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

// The text of an INI file in the conventions of the Windows profile functions:
// "[Section]" lines open a section, "Key=Value" lines inside it hold values,
// lines beginning with ";" are comments. Section and key names match without
// regard to ASCII letter case; blanks around names and values do not count.
// When a section or key occurs more than once, the first occurrence is the one
// read and written. Values are taken and written as they are: no quotes are
// removed or added and nothing is escaped.

// The value of the key, or nothing when the section or key is absent.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key);

// The text with the key set to the value. Every other line stays byte for
// byte: an existing key gets its value replaced in place, a missing key is
// added after the last key of its section, and a missing section is added at
// the end. New lines take the line ending the text already uses.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

// The names of the sections, each once, in the order they first occur.
std::vector<std::string> IniSectionNames(std::string_view text);

// The keys of the first matching section with their values, in file order,
// each key once, as FindIniValue reads them.
std::vector<std::pair<std::string, std::string>> IniSectionEntries(std::string_view text, std::string_view section);

// The text without the key (its first occurrence in the first matching
// section), or without every matching section with all its lines when the key
// is empty. Every other line stays byte for byte.
std::string RemoveIniEntry(std::string_view text, std::string_view section, std::string_view key = {});

// Whether the names and value can be written so that they read back as the
// same entry: no line breaks anywhere, no "]" in the section name, no "=" in
// the key and a key that cannot be taken for a comment or a section.
bool IsStorableIniEntry(std::string_view section, std::string_view key, std::string_view value);

}  // namespace ostrel
