#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "publish/Publisher.h"
#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpError.h"
#include "resources/StringTable.h"

namespace ostrel {

void Publisher::PublishDirectory(FtpConnection& connection, std::string relativePath) {
  if (!Running) return;
  if (!relativePath.empty() && relativePath.back() != '/') relativePath += '/';

  std::string currentDirectory;
  if (!connection.GetCurrentDirectory(currentDirectory)) {
    ShowMessage(LoadString(StringId::CannotGetCurrentRemoteDirectory));
    return;
  }

  std::string remotePath = RemoteDir + relativePath;
  std::replace(remotePath.begin(), remotePath.end(), '\\', '/');
  if (!EnterRemoteDirectory(connection, remotePath)) RaiseFtpError(connection);

  const std::string localDirectory = LocalDir + relativePath;
  std::vector<std::string> subdirectories;
  {
    std::error_code error;
    std::filesystem::directory_iterator entries(localDirectory, error);
    if (error) return;  // an unreadable directory is left out silently
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
      if (error) break;
      const std::string name = entries->path().filename().string();
      if (name.empty() || name == "." || name == "..") continue;
      std::error_code statusError;
      const std::filesystem::file_status status = entries->status(statusError);  // follows links
      if (std::filesystem::is_directory(status)) {
        if (SkipSpecialDirs && name.front() == '_') continue;
        subdirectories.push_back(name);
      } else if (std::filesystem::is_regular_file(status)) {
        if (!UploadFile(connection, localDirectory + name, name)) return;
      } else {
        // Pipes, sockets, devices and dangling links hold nothing to publish;
        // reading a pipe would even wait forever.
        continue;
      }
      if (!Running) break;
    }
  }

  if (Recurse && Running) {
    for (const std::string& name : subdirectories) {
      if (MarkDirectoryEntered(localDirectory + name)) PublishDirectory(connection, relativePath + name);
    }
  }

  const bool remoteDirectoryExists = !missingRemoteDirectories_.contains(remotePath);
  if (remoteDirectoryExists && !connection.SetCurrentDirectory(remotePath)) RaiseFtpError(connection);
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
