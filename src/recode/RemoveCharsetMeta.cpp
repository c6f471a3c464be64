#include "recode/RemoveCharsetMeta.h"

#include <algorithm>
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

void CharsetMetaRemover::Add(std::string_view piece, std::string& output) {
  pending_.append(piece);
  Process(false, output);
}

void CharsetMetaRemover::Finish(std::string& output) { Process(true, output); }

// Follows RemoveCharsetMeta step by step; a "<" is decided only once all the
// bytes its tag may span have arrived, and what lies before the scan is final.
void CharsetMetaRemover::Process(bool atEnd, std::string& output) {
  const char* text = pending_.data();
  const std::size_t size = pending_.size();
  const std::size_t decidable = atEnd ? size : (size > kLongestTag ? size - kLongestTag : 0);
  std::size_t kept = 0;
  std::size_t position = scanFrom_;
  while (scanning_ && position < decidable) {
    const void* zero = std::memchr(text + position, '\0', decidable - position);
    const std::size_t scanEnd =
        zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : decidable;
    const void* open = std::memchr(text + position, '<', scanEnd - position);
    if (open == nullptr) {
      position = scanEnd;
      scanning_ = zero == nullptr;  // nothing after a zero byte is examined
      break;
    }
    position = static_cast<std::size_t>(static_cast<const char*>(open) - text);
    const bool examined = passed_ + position >= kFirstExaminedPosition && position + 5 <= size;
    if (!examined || !StartsWithUpperCased(text + position + 1, "META")) {
      ++position;
      continue;
    }
    const std::size_t tagLimit = std::min(size, position + kLongestTag);
    const void* zeroInTag = std::memchr(text + position, '\0', tagLimit - position);
    const std::size_t searchEnd =
        zeroInTag != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zeroInTag) - text) : tagLimit;
    const void* close = std::memchr(text + position, '>', searchEnd - position);
    if (close == nullptr) {
      // No ">" after it ends the scan, as in the whole text; a tag too long
      // to be a real one is passed over.
      if (zeroInTag != nullptr || tagLimit == size) {
        scanning_ = false;
        break;
      }
      ++position;
      continue;
    }
    const std::size_t tagEnd = static_cast<std::size_t>(static_cast<const char*>(close) - text) + 1;
    if (!IsCharsetDeclaration(std::string_view(text + position, tagEnd - position))) {
      ++position;
      continue;
    }
    output.append(text + kept, position - kept);
    kept = position = tagEnd;
  }
  const std::size_t finalEnd = scanning_ && !atEnd ? std::max(position, kept) : size;
  output.append(text + kept, finalEnd - kept);
  pending_.erase(0, finalEnd);
  passed_ += finalEnd;
  scanFrom_ = scanning_ ? position - std::min(position, finalEnd) : 0;
}

}  // namespace ostrel
