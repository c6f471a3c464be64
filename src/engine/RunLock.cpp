#include "engine/RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "ftp/FtpHostAddress.h"
#include "platform/Translation.h"
#include "settings/SettingsStore.h"

namespace ostrel {
namespace {

// Long enough to tell sites apart at a glance; the hash tells them apart for sure.
constexpr std::size_t kReadablePrefix = 100;

bool IsPrivateDirectoryOfUser(const std::filesystem::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
         (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// ASCII only, and not through <cctype>: the window runs under the user's
// locale, ostrel-publish perhaps under another, and both must make one name.
bool IsSafeInName(char character) {
  return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
         (character >= '0' && character <= '9') || character == '.' || character == '_' || character == '-' ||
         character == '@';
}

std::string SiteHost(const std::string& host) {
  const std::optional<FtpHostAddress> address = ParseFtpHost(host);
  std::string site = address ? DescribeHostAddress(*address) : host;
  for (char& character : site)
    if (character >= 'A' && character <= 'Z') character = static_cast<char>(character - 'A' + 'a');
  return site;
}

std::string SiteDirectory(const std::string& remoteDirectory) {
  std::string directory;
  std::size_t begin = 0;
  while (begin <= remoteDirectory.size()) {
    std::size_t end = remoteDirectory.find_first_of("/\\", begin);
    if (end == std::string::npos) end = remoteDirectory.size();
    if (end > begin) directory += "/" + remoteDirectory.substr(begin, end - begin);
    begin = end + 1;
  }
  return directory.empty() ? "/" : directory;
}

// FNV-1a: the same value in every build of either program, unlike std::hash.
std::uint64_t Hash(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char character : text) {
    hash ^= static_cast<unsigned char>(character);
    hash *= 1099511628211ULL;
  }
  return hash;
}

}  // namespace

RunLock::RunLock(std::filesystem::path file) : file_(std::move(file)) {
  // A run that ends removes the file while it still holds it; a lock taken on
  // the file it removed guards nothing, so the one now there is taken instead.
  for (int attempt = 0; attempt < 3; ++attempt) {
    // O_NOFOLLOW: in a shared settings directory nobody can point the lock
    // at another file of the user's through a link.
    FileDescriptor descriptor(::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!descriptor.IsOpen()) {
      problem_ = FormatText(Translate("cannot create %s: %s"), {file_.string(), std::strerror(errno)});
      return;
    }
    int result = 0;
    do result = ::flock(descriptor.Get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
      if (errno == EWOULDBLOCK)
        state_ = State::HeldElsewhere;
      else
        problem_ = FormatText(Translate("cannot lock %s: %s"), {file_.string(), std::strerror(errno)});
      return;
    }
    struct stat held {};
    struct stat named {};
    if (::fstat(descriptor.Get(), &held) == 0 && ::lstat(file_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      descriptor_.emplace(std::move(descriptor));
      state_ = State::Held;
      return;
    }
  }
  problem_ = FormatText(Translate("cannot lock %s: other runs keep replacing it"), {file_.string()});
}

RunLock::~RunLock() {
  if (state_ == State::Held) ::unlink(file_.c_str());
}

std::filesystem::path RunLockDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && std::filesystem::path(runtime).is_absolute()) return runtime;
  const std::filesystem::path userRuntime = "/run/user/" + std::to_string(::getuid());
  if (IsPrivateDirectoryOfUser(userRuntime)) return userRuntime;
  // Only the directory counts, and it is the same whatever the program's name.
  const std::filesystem::path directory = SettingsStore::FileFor("ostrel").parent_path();
  return directory.empty() ? "." : directory;
}

std::filesystem::path RunLockFile(const std::filesystem::path& directory, const std::string& user,
                                  const std::string& host, const std::string& remoteDirectory) {
  const std::string siteHost = SiteHost(host), siteDirectory = SiteDirectory(remoteDirectory);
  std::string name = "ostrel-";
  for (const char character : (user + "@" + siteHost + siteDirectory).substr(0, kReadablePrefix))
    name += IsSafeInName(character) ? character : '_';
  // The parts apart, so that "a@b" at "c" is not "a" at "b@c".
  const std::string site = user + '\0' + siteHost + '\0' + siteDirectory;
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Hash(site)));
  return directory / (name + "-" + hash + ".lock");
}

}  // namespace ostrel
