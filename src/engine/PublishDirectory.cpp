#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/Publisher.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "resources/StringTable.h"

namespace ostrel {
namespace {

using LocalEntry = std::pair<std::string, std::filesystem::file_status>;

// The entries of one local directory with their status (links followed), in
// byte order of their names, so that runs, their output and where a stop
// lands are the same on every file system. An unreadable directory gives none.
std::vector<LocalEntry> ReadLocalDirectory(const std::string& directory) {
  std::vector<LocalEntry> entries;
  std::error_code error;
  std::filesystem::directory_iterator iterator(directory, error);
  for (; !error && iterator != std::filesystem::directory_iterator(); iterator.increment(error)) {
    std::string name = iterator->path().filename().string();
    if (name.empty() || name == "." || name == "..") continue;
    std::error_code statusError;
    entries.emplace_back(std::move(name), iterator->status(statusError));
  }
  std::sort(entries.begin(), entries.end(),
            [](const LocalEntry& left, const LocalEntry& right) { return left.first < right.first; });
  return entries;
}

}  // namespace

void Publisher::PublishDirectory(FtpConnection& connection, std::string relativePath) {
  if (!Running) return;
  if (!relativePath.empty() && relativePath.back() != '/') relativePath += '/';

  std::string remotePath = RemoteDir + relativePath;
  std::replace(remotePath.begin(), remotePath.end(), '\\', '/');
  if (!EnterRemoteDirectory(connection, remotePath)) RaiseFtpError(connection);

  const std::string localDirectory = LocalDir + relativePath;
  const std::vector<LocalEntry> entries = ReadLocalDirectory(localDirectory);
  // The extra connections enter (and list) the subdirectories while this
  // level's files go out. Only a hint: which of them are walked is decided
  // below, as the walk comes to each.
  if (uploadPool_ && Recurse) {
    for (const auto& [name, status] : entries) {
      if (!std::filesystem::is_directory(status) || (SkipSpecialDirs && name.front() == '_')) continue;
      std::string subdirectory = remotePath + name + "/";
      std::replace(subdirectory.begin(), subdirectory.end(), '\\', '/');
      uploadPool_->Prepare(subdirectory, ListsDirectories());
    }
  }

  std::vector<std::string> subdirectories;
  for (const auto& [name, status] : entries) {
    if (!Running) break;
    if (std::filesystem::is_directory(status)) {
      if (SkipSpecialDirs && name.front() == '_') continue;
      subdirectories.push_back(name);
    } else if (std::filesystem::is_regular_file(status)) {
      // A failure is that file's own: the level goes on.
      UploadFile(connection, localDirectory + name, name);
    }
    // Pipes, sockets, devices and dangling links hold nothing to publish;
    // reading a pipe would even wait forever.
  }

  if (Recurse && Running) {
    for (const std::string& name : subdirectories) {
      if (MarkDirectoryEntered(localDirectory + name)) PublishDirectory(connection, relativePath + name);
    }
  }
}

bool Publisher::MarkDirectoryEntered(const std::string& localDirectory) {
  struct stat status {};
  if (::stat(localDirectory.c_str(), &status) != 0) return true;  // the level finds out itself
  return enteredDirectories_
      .emplace(static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino))
      .second;
}

void Publisher::RaiseFtpError(const FtpConnection& connection) { throw connection.LastError(); }

}  // namespace ostrel
