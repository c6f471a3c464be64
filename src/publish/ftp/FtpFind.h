#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

class FtpConnection;

struct FtpFindEntry {
  std::string name;  // byte for byte as the server sent it
  bool isDirectory = false;
  bool isDotEntry = false;  // "." or ".."
  // Last-write time as seconds since 1970-01-01 00:00 UTC; empty when the
  // listing gave none that could be read.
  std::optional<std::int64_t> lastWriteUtc;
};

// A remote directory listing, read whole when it starts: MLSD when the server
// offers MLST, LIST otherwise ("LIST -a", so that names beginning with a dot
// are listed too, where the server understands it).
class FtpFind {
 public:
  explicit FtpFind(FtpConnection& connection);

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

 private:
  FtpConnection& connection_;
  std::vector<FtpFindEntry> entries_;
  std::size_t position_ = 0;
};

}  // namespace ostrel
