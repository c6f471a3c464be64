#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

// Removes from an HTML text every META tag that declares a content type with a
// charset, since the declaration would be wrong once the page is recoded.
//
// `text` holds `length` bytes and has room for one more: a zero byte is
// written at text[length], and the text is treated as a zero-terminated
// string, so nothing after an embedded zero byte is examined. `length` shrinks
// by the length of each removed tag; the bytes after a tag move left and a
// zero byte follows the new end.
//
// A tag runs from a "<" to the first ">" after it, even when that ">" stands
// inside a quoted value. It is examined when the "<" stands at position 5 or
// later and is followed directly by "meta" in any letter case (so "<metax"
// qualifies and "< meta" does not). It is removed when, compared without
// regard to ASCII letter case, it contains "HTTP-EQUIV", "CHARSET" and
// "CONTENT" anywhere, in attribute names or values alike. A candidate "<meta"
// without any ">" after it ends the scan. Nothing around a removed tag goes:
// the line break after it stays.
void RemoveCharsetMeta(char* text, std::size_t& length);

// The same removal over a text that arrives in pieces of any size, so that a
// text of any length is handled in bounded memory: at most kLongestTag bytes
// besides the piece are held back. A tag longer than kLongestTag is left as
// it stands; nothing else differs from RemoveCharsetMeta.
class CharsetMetaRemover {
 public:
  static constexpr std::size_t kLongestTag = 64 * 1024;

  // Takes the next piece and appends to `output` the bytes that are final.
  void Add(std::string_view piece, std::string& output);
  // After the last piece: appends the rest.
  void Finish(std::string& output);

 private:
  void Process(bool atEnd, std::string& output);

  std::string pending_;       // received, not yet final
  std::uint64_t passed_ = 0;  // bytes of the text before pending_
  std::size_t scanFrom_ = 0;  // where in pending_ the scan goes on
  bool scanning_ = true;      // false once the scan has ended for good
};

}  // namespace ostrel
