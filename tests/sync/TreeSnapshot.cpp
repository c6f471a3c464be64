#include "sync/TreeSnapshot.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <ctime>
#include <stdexcept>

#include "support/TempDirectory.h"

namespace ostrel::test {

TreeSnapshot Snapshot(const std::filesystem::path& root) {
  TreeSnapshot tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string relative = std::filesystem::relative(entry.path(), root).string();
    if (entry.is_directory())
      tree[relative + "/"] = "";
    else
      tree[relative] = ReadFile(entry.path());
  }
  return tree;
}

void SetLastWriteTime(const std::filesystem::path& path, std::int64_t seconds) {
  const struct timeval times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  if (::utimes(path.c_str(), times) != 0) throw std::runtime_error("utimes failed: " + path.string());
}

std::int64_t LastWriteTime(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) throw std::runtime_error("stat failed: " + path.string());
  return status.st_mtim.tv_sec;
}

void MakeSampleSite(const std::filesystem::path& root) {
  std::string allBytes;
  for (int byte = 0; byte < 256; ++byte) allBytes += static_cast<char>(byte);
  const std::pair<const char*, std::string> files[] = {
      {"index.htm", "<html><body>root page</body></html>\r\n"},
      {"with space.txt", "a file name with a space\n"},
      {"\xd1\x81\xd1\x82\xd1\x80\xd0\xb0\xd0\xbd\xd0\xb8\xd1\x86\xd0\xb0.htm", "cyrillic name\n"},
      {".hidden", "hidden file\n"},
      {"readonly.txt", "read-only file\n"},
      {"_notes.txt", "an underscore file is published\n"},
      {"binary.gif", allBytes + allBytes},
      {"docs/a.htm", "<p>docs a</p>\r\n"},
      {"docs/b.txt", "docs b\n"},
      {"docs/img/logo.gif", allBytes},
      {"_private/secret.txt", "never published\n"},
      {"_private/deeper/x.htm", "never published either\n"},
      {"\xd0\xbf\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0 two/\xd1\x84.txt", "cyrillic directory with a space\n"},
  };
  for (const auto& [relative, bytes] : files) WriteFile(root / relative, bytes);
  std::filesystem::create_directories(root / "empty");
  std::filesystem::create_directories(root / "docs" / "empty too");
  std::filesystem::permissions(root / "readonly.txt", std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
  const std::int64_t anHourAgo = static_cast<std::int64_t>(std::time(nullptr)) - 3600;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file()) SetLastWriteTime(entry.path(), anHourAgo);
}

TreeSnapshot Without(TreeSnapshot tree, std::initializer_list<std::string> prefixes) {
  std::erase_if(tree, [&](const auto& item) {
    for (const std::string& prefix : prefixes)
      if (item.first.rfind(prefix, 0) == 0) return true;
    return false;
  });
  return tree;
}

}  // namespace ostrel::test
