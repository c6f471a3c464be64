#include "publish/ftp/FtpFind.h"

#include <time.h>

#include <algorithm>
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

// Runs one listing command and takes everything the server sends.
bool Fetch(FtpControlChannel& channel, std::string_view verb, const std::string& argument, std::string& listing) {
  listing.clear();
  FtpDataTransfer transfer(channel);
  return transfer.Start(verb, argument) && transfer.ReceiveAll(listing) && transfer.Finish();
}

// ls leaves out names that begin with a dot unless asked with -a, and such
// files are published too. A server that takes "-a" for part of the path
// refuses it; the plain form serves then, for the rest of the connection.
bool FetchUnixListing(FtpControlChannel& channel, const std::string& directory, std::string& listing) {
  FtpServerFacts& facts = channel.Facts();
  if (!facts.listAllRefused) {
    if (Fetch(channel, "LIST", directory.empty() ? "-a" : "-a " + directory, listing)) return true;
    if (channel.IsBroken() || channel.LastError().Code() / 100 != 5) return false;
    if (!Fetch(channel, "LIST", directory, listing)) return false;
    facts.listAllRefused = true;
    return true;
  }
  return Fetch(channel, "LIST", directory, listing);
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
  const bool fetched =
      useMlsd ? Fetch(channel, "MLSD", directory, listing) : FetchUnixListing(channel, directory, listing);
  if (!fetched) return connection_.Failed();

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
  // Some servers list "." and ".." even for an empty directory; empty is empty.
  if (std::all_of(entries_.begin(), entries_.end(), [](const FtpFindEntry& entry) { return entry.isDotEntry; }))
    entries_.clear();
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
