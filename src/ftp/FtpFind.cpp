#include "ftp/FtpFind.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <string_view>

#include "ftp/FtpConnection.h"
#include "ftp/FtpControlChannel.h"
#include "ftp/FtpDataTransfer.h"
#include "ftp/FtpListParser.h"
#include "ftp/FtpMlsdParser.h"
#include "platform/FileDescriptor.h"

namespace ostrel {

namespace {

// Far beyond any real directory; a server that sends more is not believed.
constexpr std::size_t kMaximumListingSize = 64 << 20;

// pure-ftpd cuts every listing at this many entries and still says it completed.
constexpr std::size_t kKnownListingCut = 10000;

// Runs one listing command and takes everything the server sends, and the
// text of its final reply.
bool Fetch(FtpControlChannel& channel, std::string_view verb, const std::string& argument, std::string& listing,
           std::string& finalReply) {
  listing.clear();
  FtpDataTransfer transfer(channel);
  const bool fetched =
      transfer.Start(verb, argument) && transfer.ReceiveAll(listing, kMaximumListingSize) && transfer.Finish();
  finalReply = transfer.FinalReply().Text();
  return fetched;
}

bool SaysTruncated(std::string text) {
  for (char& character : text) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
  return text.find("truncat") != std::string::npos;
}

// ls leaves out names that begin with a dot unless asked with -a, and such
// files are published too. A server that takes "-a" for part of the path
// refuses it; the plain form serves then, for the rest of the connection.
bool FetchUnixListing(FtpControlChannel& channel, const std::string& directory, std::string& listing,
                      std::string& finalReply) {
  FtpServerFacts& facts = channel.Facts();
  if (!facts.listAllRefused) {
    if (Fetch(channel, "LIST", directory.empty() ? "-a" : "-a " + directory, listing, finalReply)) return true;
    if (channel.IsBroken() || channel.LastError().Code() / 100 != 5) return false;
    if (!Fetch(channel, "LIST", directory, listing, finalReply)) return false;
    facts.listAllRefused = true;
    return true;
  }
  return Fetch(channel, "LIST", directory, listing, finalReply);
}

// The most recent file time of a listing, where LIST shows a clock time
// rather than a year, and the name of its file.
const FtpFindEntry* MostRecentFile(const std::vector<FtpFindEntry>& entries) {
  const FtpFindEntry* found = nullptr;
  for (const FtpFindEntry& entry : entries)
    if (!entry.isDirectory && entry.lastWriteUtc && (found == nullptr || *entry.lastWriteUtc > *found->lastWriteUtc))
      found = &entry;
  return found;
}

// A LIST listing shows times in the server's own time zone, which FTP does
// not tell; MDTM is UTC by definition. Their difference for one file,
// rounded to a quarter hour, is the listing's offset, learned once.
// A difference of clocks as a zone offset: to the quarter hour, within the
// furthest zones; else none.
std::int64_t AsZoneOffset(std::int64_t difference) {
  constexpr std::int64_t kQuarterHour = 15 * 60;
  constexpr std::int64_t kFurthestZone = 14 * 3600;
  const std::int64_t rounded =
      (difference + (difference >= 0 ? kQuarterHour / 2 : -kQuarterHour / 2)) / kQuarterHour * kQuarterHour;
  return rounded >= -kFurthestZone && rounded <= kFurthestZone ? rounded : 0;
}

std::int64_t ListingOffset(FtpConnection& connection, const std::string& directory,
                           const std::vector<FtpFindEntry>& entries) {
  if (const auto learned = connection.Facts().listingOffset) return *learned;
  const FtpFindEntry* sample = MostRecentFile(entries);
  if (sample == nullptr || !connection.Features().mdtm) return 0;
  std::int64_t offset = 0;
  if (const auto exact = connection.FileModificationTime(directory + sample->name))
    offset = AsZoneOffset(*sample->lastWriteUtc - *exact) +
             (LearnModifyTimes(connection, directory), connection.Facts().modifyTimeOffset.value_or(0));
  // Read again after MDTM: a new logon on the way keeps the connection's facts.
  connection.Facts().listingOffset = offset;
  return offset;
}

const FtpFindEntry kNoEntry;

}  // namespace

// UTC by the protocol, yet some servers (vsftpd with use_localtime=YES,
// Debian's own setting) answer in their zone, and set times in it too. An
// empty file of our own, made now, tells: its time is the server's "now" as
// MDTM gives it. Named like an upload's temporary copy, so that a copy a lost
// connection leaves is cleaned as theirs are.
void LearnModifyTimes(FtpConnection& connection, const std::string& directory) {
  if (connection.Facts().modifyTimeOffset) return;
  std::int64_t offset = 0;
  bool setsTime = false;
  const FileDescriptor empty(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  // Several connections of a run probe at once, each with a file of its own:
  // one deleting another's would leave that one without an answer.
  static std::atomic<unsigned> probes{0};
  const std::string name = "ostrel-clock-" + std::to_string(::getpid()) + "-" + std::to_string(++probes) + "-" +
                           std::to_string(::time(nullptr)) + ".ostrel-upload";
  std::string probe = directory + "." + name;
  const std::int64_t before = ::time(nullptr);
  const auto put = [&] { return connection.PutFile(empty.Get(), probe); };
  // Hidden where the server allows it; some refuse every name that begins
  // with a dot (vsftpd's deny_file), and pages go in place there anyway.
  const auto refusedName = [&] {
    probe = directory + name;
    return !connection.IsBroken() && connection.LastError().Code() / 100 == 5 && !connection.LastPutWasStarted();
  };
  if (connection.Facts().writesAllowed && connection.Features().mdtm && empty.IsOpen() &&
      (put() || (refusedName() && put()))) {
    const std::optional<std::int64_t> stamped = connection.FileModificationTime(probe);
    if (stamped) {
      offset = AsZoneOffset(*stamped - (before + ::time(nullptr)) / 2);
      // Set an hour back and read again: only then is it known to work.
      const std::int64_t hourBack = *stamped - 3600;
      setsTime = !connection.Features().mfmt && connection.SetModifyTimeByMdtm(probe, hourBack) &&
                 connection.FileModificationTime(probe) == hourBack;
    }
    connection.DeleteFile(probe);
  }
  // Read again: a new logon on the way keeps the connection's facts.
  connection.Facts().modifyTimeOffset = offset;
  connection.Facts().mdtmSetsTime = setsTime;
}

FtpFind::FtpFind(FtpConnection& connection, FtpListingCommand command) : connection_(connection), command_(command) {}

bool FtpFind::Start(const std::string& searchName) {
  return connection_.WithReconnection([&] { return StartOnce(searchName); });
}

bool FtpFind::StartOnce(const std::string& searchName) {
  Close();
  FtpControlChannel& channel = *connection_.channel_;
  // The pattern after the last slash is always "*.*" for us: the whole
  // directory is listed. Without a slash the current directory is meant.
  const auto slash = searchName.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string() : searchName.substr(0, slash + 1);
  if (!channel.AcceptsArgument(directory)) return connection_.Failed();

  const bool useMlsd = command_ == FtpListingCommand::Best && connection_.Features().mlst;
  if (channel.IsBroken()) return connection_.Failed();
  std::string listing;
  std::string finalReply;
  const bool fetched = useMlsd ? Fetch(channel, "MLSD", directory, listing, finalReply)
                               : FetchUnixListing(channel, directory, listing, finalReply);
  if (!fetched) return connection_.Failed();
  listed_ = true;

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
  incomplete_ = SaysTruncated(finalReply) || entries_.size() == kKnownListingCut;
  secondsPerTick_ = useMlsd ? 1 : 60;
  if (!useMlsd && command_ == FtpListingCommand::Best) {
    const std::int64_t offset = ListingOffset(connection_, directory, entries_);
    for (FtpFindEntry& entry : entries_)
      if (entry.lastWriteUtc) *entry.lastWriteUtc -= offset;
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
  incomplete_ = false;
  listed_ = false;
}

}  // namespace ostrel
