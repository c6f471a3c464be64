#include "ftp/FtpReply.h"

namespace ostrel {

namespace {

bool StartsWithCode(std::string_view line) {
  return line.size() >= 3 && line[0] >= '1' && line[0] <= '5' && line[1] >= '0' && line[1] <= '9' && line[2] >= '0' &&
         line[2] <= '9';
}

int CodeOf(std::string_view line) { return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'); }

}  // namespace

std::string FtpReply::Text() const {
  std::string text;
  for (const auto& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

FtpReplyAssembler::Progress FtpReplyAssembler::AddLine(std::string_view line) {
  if (complete_) {
    reply_ = FtpReply{};
    complete_ = false;
  }
  if (reply_.lines.empty()) {
    if (!StartsWithCode(line) || (line.size() > 3 && line[3] != ' ' && line[3] != '-')) {
      reply_.lines.emplace_back(line);
      return Progress::Malformed;
    }
    reply_.code = CodeOf(line);
    reply_.lines.emplace_back(line);
    complete_ = line.size() == 3 || line[3] == ' ';
    return complete_ ? Progress::Complete : Progress::NeedsMore;
  }
  reply_.lines.emplace_back(line);
  complete_ = StartsWithCode(line) && CodeOf(line) == reply_.code && (line.size() == 3 || line[3] == ' ');
  return complete_ ? Progress::Complete : Progress::NeedsMore;
}

}  // namespace ostrel
