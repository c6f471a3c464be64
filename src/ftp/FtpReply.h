#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// One server reply: its three-digit code and its lines as sent, without the
// line ends.
struct FtpReply {
  int code = 0;
  std::vector<std::string> lines;

  // 1 preliminary, 2 completed, 3 more needed, 4 transient and 5 permanent failure.
  int Class() const { return code / 100; }
  // The whole reply as the user should read it: every line, joined by line feeds.
  std::string Text() const;
};

// A command to be sent with others: verb and argument, the argument empty
// where there is none.
struct FtpCommand {
  std::string_view verb, argument;
};

// Assembles a reply from the lines the server sends, by the multi-line rule:
// "123-text" opens a reply that only a line starting with "123 " (the same
// code and a space) ends; every line between belongs to it, whatever it
// starts with. "123 text" or a bare "123" is a whole reply of one line.
class FtpReplyAssembler {
 public:
  enum class Progress { NeedsMore, Complete, Malformed };

  // Adds one line without its line end. After Complete the reply is ready and
  // the next line starts a new one; after Malformed nothing more may be added.
  Progress AddLine(std::string_view line);
  // The reply assembled so far: whole after Complete, partial otherwise.
  const FtpReply& Reply() const { return reply_; }
  bool IsInsideReply() const { return !reply_.lines.empty() && !complete_; }

 private:
  FtpReply reply_;
  bool complete_ = false;
};

}  // namespace ostrel
