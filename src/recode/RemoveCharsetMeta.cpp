#include "recode/RemoveCharsetMeta.h"

#include <cstring>
#include <string_view>

namespace ostrel {
namespace {

// A "<" this close to the start is never examined, so a declaration at the
// very start of a text stays, as it always has.
constexpr std::size_t kFirstExaminedPosition = 5;

char ToUpperAscii(char byte) { return (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - ('a' - 'A')) : byte; }

// Compares the bytes at `text` with the upper-case `keyword`, stopping at the
// first difference; the zero byte that ends the text is a difference, so this
// never reads past it.
bool StartsWithUpperCased(const char* text, std::string_view keyword) {
  for (std::size_t i = 0; i < keyword.size(); ++i)
    if (ToUpperAscii(text[i]) != keyword[i]) return false;
  return true;
}

// Upper-cases the tag in place of a copy: the same test without allocating.
bool ContainsUpperCased(std::string_view tag, std::string_view keyword) {
  if (keyword.size() > tag.size()) return false;
  for (std::size_t start = 0; start + keyword.size() <= tag.size(); ++start) {
    std::size_t i = 0;
    while (i < keyword.size() && ToUpperAscii(tag[start + i]) == keyword[i]) ++i;
    if (i == keyword.size()) return true;
  }
  return false;
}

// "CONTENT" also covers "CONTENT-TYPE", so that word needs no test of its own.
bool IsCharsetDeclaration(std::string_view tag) {
  return ContainsUpperCased(tag, "HTTP-EQUIV") && ContainsUpperCased(tag, "CHARSET") &&
         ContainsUpperCased(tag, "CONTENT");
}

}  // namespace

void RemoveCharsetMeta(char* text, std::size_t& length) {
  text[length] = '\0';
  const std::size_t scanEnd =
      static_cast<std::size_t>(static_cast<const char*>(std::memchr(text, '\0', length + 1)) - text);

  // Removed tags are squeezed out as the scan goes: the text before `kept`
  // is final and ends at `written`, and bytes from `kept` on still stand at
  // their original places. Each byte moves at most once, however many tags go.
  // After a removal the scan goes on where the tag began, which in the
  // original places is just after its ">".
  std::size_t written = 0;
  std::size_t kept = 0;
  std::size_t position = kFirstExaminedPosition;
  while (position < scanEnd) {
    const void* open = std::memchr(text + position, '<', scanEnd - position);
    if (open == nullptr) break;
    position = static_cast<std::size_t>(static_cast<const char*>(open) - text);
    if (!StartsWithUpperCased(text + position + 1, "META")) {
      ++position;
      continue;
    }
    const void* close = std::memchr(text + position, '>', scanEnd - position);
    if (close == nullptr) break;
    const std::size_t tagEnd = static_cast<std::size_t>(static_cast<const char*>(close) - text) + 1;
    if (!IsCharsetDeclaration(std::string_view(text + position, tagEnd - position))) {
      ++position;
      continue;
    }
    if (written != kept) std::memmove(text + written, text + kept, position - kept);
    written += position - kept;
    kept = tagEnd;
    position = tagEnd;
  }
  if (written != kept) {
    std::memmove(text + written, text + kept, length - kept);
    length = written + (length - kept);
    text[length] = '\0';
  }
}

}  // namespace ostrel
