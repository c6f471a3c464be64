#include "publish/ftp/FtpFind.h"

#include <time.h>

#include <cctype>
#include <string_view>

#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpControlChannel.h"
#include "publish/ftp/FtpDataTransfer.h"
#include "publish/ftp/FtpListParser.h"
#include "publish/ftp/FtpMlsdParser.h"

namespace ostrel {

namespace {

// FEAT lists one feature per line, indented: " MLST type*;size*;modify*;".
bool FeaturesListMlst(const FtpReply& reply) {
  for (std::size_t index = 1; index + 1 < reply.lines.size(); ++index) {
    std::string_view feature = reply.lines[index];
    while (!feature.empty() && feature.front() == ' ') feature.remove_prefix(1);
    std::string name(feature.substr(0, feature.find(' ')));
    for (char& character : name) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    if (name == "MLST") return true;
  }
  return false;
}

const FtpFindEntry kNoEntry;

}  // namespace

FtpFind::FtpFind(FtpConnection& connection) : connection_(connection) {}

bool FtpFind::Start(const std::string& searchName) {
  Close();
  FtpControlChannel& channel = *connection_.channel_;
  // The pattern after the last slash is always "*.*" for us: the whole
  // directory is listed. Without a slash the current directory is meant.
  const auto slash = searchName.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string() : searchName.substr(0, slash + 1);
  if (!channel.AcceptsArgument(directory)) return connection_.Failed();

  FtpServerFacts& facts = channel.Facts();
  if (!facts.offersMlst) {
    FtpReply reply;
    if (!channel.Command("FEAT", {}, 2, &reply) && channel.IsBroken()) return connection_.Failed();
    facts.offersMlst = reply.Class() == 2 && FeaturesListMlst(reply);
  }

  const bool useMlsd = *facts.offersMlst;
  std::string listing;
  FtpDataTransfer transfer(channel);
  if (!transfer.Start(useMlsd ? "MLSD" : "LIST", directory) || !transfer.ReceiveAll(listing) ||
      !transfer.Finish())
    return connection_.Failed();

  const std::int64_t now = ::time(nullptr);
  std::size_t lineStart = 0;
  while (lineStart < listing.size()) {
    auto lineEnd = listing.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = listing.size();
    std::string_view line(listing.data() + lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto entry = useMlsd ? ParseMlsdLine(line) : ParseListLine(line, now);
    if (entry) entries_.push_back(std::move(*entry));
  }
  return !entries_.empty();
}

bool FtpFind::Next() {
  if (position_ + 1 >= entries_.size()) {
    position_ = entries_.size();
    return false;
  }
  ++position_;
  return true;
}

const FtpFindEntry& FtpFind::Current() const { return position_ < entries_.size() ? entries_[position_] : kNoEntry; }

void FtpFind::Close() {
  entries_.clear();
  position_ = 0;
}

}  // namespace ostrel
