#pragma once

#include <string>
#include <vector>

#include "ftp/FtpFindEntry.h"

namespace ostrel {

class FtpConnection;

// Learns, once a connection, how the server's MDTM clock runs and whether
// MDTM can set a file's time (Facts().modifyTimeOffset and mdtmSetsTime),
// from an empty file of our own made, stamped and deleted in `directory`
// ("" for the current one). Never where the run may not write: MDTM is then
// taken at its word, and times are not set.
void LearnModifyTimes(FtpConnection& connection, const std::string& directory);

// Which command lists: MLSD where offered (exact times), or always LIST,
// which shows a link as a link where MLSD may show what it leads to.
enum class FtpListingCommand { Best, List };

// A remote directory listing, read whole when it starts: MLSD when the server
// offers MLST, LIST otherwise ("LIST -a", so that names beginning with a dot
// are listed too, where the server understands it).
class FtpFind {
 public:
  // With FtpListingCommand::List the times are taken as the listing shows
  // them, not brought to UTC.
  explicit FtpFind(FtpConnection& connection, FtpListingCommand command = FtpListingCommand::Best);

  // searchName is a directory path followed by a "*.*"-style pattern, e.g.
  // "/pub/site/docs/*.*"; the whole directory part is listed (a name without
  // a slash lists the current directory), and the current directory stays as
  // it was. True when at least one entry came; Current() is then the first.
  // False when nothing could be listed, an empty directory included (one that
  // lists only "." and ".." counts as empty); then there is no current entry,
  // and LastError() of the connection tells why when the listing failed.
  //   if (find.Start("/pub/site/*.*")) do { use(find.Current()); } while (find.Next());
  bool Start(const std::string& searchName);
  // Moves to the next entry; false when there is none (and then no current entry).
  bool Next();
  const FtpFindEntry& Current() const;
  void Close();
  // True when the server cut the listing short ("truncated" in its final
  // reply, or exactly as many entries as a server known to cut there sends):
  // a file missing from it may still exist.
  bool IsIncomplete() const { return incomplete_; }
  // True when the server sent a listing, empty or not; false when it refused.
  bool Listed() const { return listed_; }
  // The resolution of the listing's times: 1 second for MLSD, 60 for LIST.
  int SecondsPerTick() const { return secondsPerTick_; }

 private:
  bool StartOnce(const std::string& searchName);

  FtpConnection& connection_;
  FtpListingCommand command_;
  std::vector<FtpFindEntry> entries_;
  std::size_t position_ = 0;
  bool incomplete_ = false;
  bool listed_ = false;
  int secondsPerTick_ = 1;
};

}  // namespace ostrel
