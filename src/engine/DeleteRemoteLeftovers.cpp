#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/LocalTree.h"
#include "engine/Publisher.h"
#include "engine/RemoteDirectoryListing.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "ftp/FtpFind.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"

namespace ostrel {
namespace {

// The confirmation names this many; the rest are counted.
constexpr std::size_t kNamesAsked = 10;

std::string DeletionQuestion(const std::vector<RemoteLeftover>& plan) {
  std::string question =
      FormatText(TranslatePlural("Delete %s remote file that is not in the local directory?",
                                 "Delete %s remote files that are not in the local directory?", plan.size()),
                 {std::to_string(plan.size())}) +
      "\n";
  for (std::size_t index = 0; index < plan.size() && index < kNamesAsked; ++index)
    question += "\n" + EscapeControlCharacters(plan[index].remotePath);
  if (plan.size() > kNamesAsked)
    question += "\n" + FormatText(Translate("... and %s more"), {std::to_string(plan.size() - kNamesAsked)});
  return question;
}

}  // namespace

void Publisher::NoteRemoteLeftovers(const std::string& relativePath, const std::string& remotePath,
                                    const std::vector<LocalEntry>& entries, bool localReadWhole) {
  // What is missing from a listing cut short, or from a local directory read
  // in part, cannot be told from what is gone.
  if (!remoteNamesWhole_ || !localReadWhole) {
    uncertainDirectories_.push_back(remotePath);
    return;
  }
  std::unordered_set<std::string> localNames;
  for (const LocalEntry& entry : entries) localNames.insert(entry.name);
  for (const RemoteName& remote : remoteNames_)
    if (!localNames.contains(remote.name) && MayDelete(remote, relativePath))
      leftovers_.push_back({remotePath + remote.name + (remote.isDirectory ? "/" : ""),
                            relativePath + remote.name + (remote.isDirectory ? "/" : ""), remote.isDirectory});
}

// Hosts keep .htaccess, .well-known and .ftpquota under names that begin
// with "."; so do the temporary copies of runs, which have a rule of their
// own. A name with a slash in it would reach outside its directory.
bool Publisher::MayDelete(const RemoteName& remote, const std::string& relativeDirectory) const {
  const std::string& name = remote.name;
  if (name.empty() || name.front() == '.' || name.find_first_of("/\\") != std::string::npos) return false;
  return !RuleLeavesOut(name, remote.isDirectory, relativeDirectory, settings_, excluded_);
}

void Publisher::DeleteRemoteLeftovers(FtpConnection& connection) {
  TakeConfirmedOptions();
  if (!deleting_ || !settings_.DeleteRemote) return;
  const std::string stopped = Translate("Nothing was deleted on the server: the run was stopped.");
  if (!Running) {
    ShowStatus(stopped);
    return;
  }
  if (result_.filesFailed > 0) {
    const auto failed = static_cast<unsigned long>(result_.filesFailed);
    ShowMessage(
        FormatText(TranslatePlural("Nothing was deleted on the server: %s file could not be copied, and remote "
                                   "files are deleted only once every file has arrived.",
                                   "Nothing was deleted on the server: %s files could not be copied, and remote "
                                   "files are deleted only once every file has arrived.",
                                   failed),
                   {std::to_string(failed)}));
    return;
  }
  if (!leftovers_.empty() && localRootEmpty_) {
    std::string localDirectory = settings_.LocalDir;
    if (localDirectory.size() > 1) localDirectory.pop_back();  // the walk's own "/"
    ShowMessage(FormatText(Translate("The local directory %s is empty; nothing was deleted."),
                           {EscapeControlCharacters(localDirectory)}));
    return;
  }
  std::vector<RemoteLeftover> plan;
  directoriesByList_.clear();
  for (const RemoteLeftover& leftover : leftovers_) {
    if (!Running) break;
    PlanDeletion(connection, leftover, plan);
  }
  if (!Running) {
    ShowStatus(stopped);
    return;
  }
  if (!uncertainDirectories_.empty())
    ShowMessage(
        uncertainDirectories_.size() == 1
            ? FormatText(Translate("Nothing was deleted in %s: the server's listing, or the local directory, could not "
                                   "be read whole."),
                         {EscapeControlCharacters(uncertainDirectories_.front())})
            : FormatText(Translate("Nothing was deleted in %s and in %s more: the server's listing, or the local "
                                   "directory, could not be read whole."),
                         {EscapeControlCharacters(uncertainDirectories_.front()),
                          std::to_string(uncertainDirectories_.size() - 1)}));
  if (plan.empty()) return;
  if (settings_.MaxDelete > 0 && plan.size() > static_cast<std::size_t>(settings_.MaxDelete)) {
    ShowMessage(FormatText(TranslatePlural("%s remote file is not in the local directory, more than MaxDelete allows "
                                           "(%s): none was deleted.",
                                           "%s remote files are not in the local directory, more than MaxDelete "
                                           "allows (%s): none was deleted.",
                                           plan.size()),
                           {std::to_string(plan.size()), std::to_string(settings_.MaxDelete)}));
    return;
  }
  if (Mode == PublishMode::DryRun) {
    for (const RemoteLeftover& entry : plan) ShowStatus(Translate("Would delete: ") + entry.remotePath);
    result_.filesDeleted = static_cast<std::int64_t>(plan.size());
    return;
  }
  if (!userInterface_.ConfirmDeletion(DeletionQuestion(plan))) {
    ShowStatus(Translate("Nothing was deleted on the server."));
    return;
  }
  CarryOutDeletions(connection, plan);
}

bool Publisher::PlanDeletion(FtpConnection& connection, const RemoteLeftover& leftover,
                             std::vector<RemoteLeftover>& plan) {
  if (!leftover.isDirectory) {
    plan.push_back(leftover);
    return true;
  }
  const std::string path = leftover.remotePath.substr(0, leftover.remotePath.size() - 1);
  const std::size_t slash = path.rfind('/');
  const std::optional<bool> directory = ListsAsDirectory(connection, path.substr(0, slash + 1), path.substr(slash + 1));
  if (!directory) {
    uncertainDirectories_.push_back(leftover.remotePath);
    return false;
  }
  if (*directory) return PlanDirectoryDeletion(connection, leftover, plan);
  plan.push_back({path, leftover.relativePath.substr(0, leftover.relativePath.size() - 1), false});
  return true;
}

// Some servers (pyftpdlib) show a link to a directory in MLSD as the
// directory it leads to: deleting "inside" it would delete what it leads to,
// maybe outside the remote directory. LIST shows the link as a link.
std::optional<bool> Publisher::ListsAsDirectory(FtpConnection& connection, const std::string& parent,
                                                const std::string& name) {
  if (!connection.Features().mlst) return true;  // the listing was LIST already
  auto listed = directoriesByList_.find(parent);
  if (listed == directoriesByList_.end()) {
    FtpFind find(connection, FtpListingCommand::List);
    std::unordered_set<std::string> directories;
    if (find.Start(parent + "*.*")) do {
        if (find.Current().isDirectory) directories.insert(find.Current().name);
      } while (find.Next());
    listed = directoriesByList_
                 .emplace(parent, find.Listed() && !find.IsIncomplete() ? std::optional(directories) : std::nullopt)
                 .first;
  }
  if (!listed->second) return std::nullopt;
  return listed->second->contains(name);
}

bool Publisher::PlanDirectoryDeletion(FtpConnection& connection, const RemoteLeftover& directory,
                                      std::vector<RemoteLeftover>& plan) {
  const RemoteDirectoryListing listing =
      ListRemoteDirectory(connection, directory.remotePath,
                          Mode == PublishMode::Publish ? std::optional(LeftoversBefore(runStartUtc_)) : std::nullopt);
  if (!listing.listed || listing.incomplete) {
    uncertainDirectories_.push_back(directory.remotePath);
    return false;
  }
  bool whole = true;
  for (const RemoteName& remote : listing.names) {
    if (!MayDelete(remote, directory.relativePath)) {
      whole = false;
      continue;
    }
    const RemoteLeftover inside{directory.remotePath + remote.name + (remote.isDirectory ? "/" : ""),
                                directory.relativePath + remote.name + (remote.isDirectory ? "/" : ""),
                                remote.isDirectory};
    whole = PlanDeletion(connection, inside, plan) && whole;
  }
  if (whole) plan.push_back(directory);
  return whole;
}

void Publisher::CarryOutDeletions(FtpConnection& connection, const std::vector<RemoteLeftover>& plan) {
  // A directory whose contents did not all go cannot go either.
  std::vector<std::string> failed;
  for (const RemoteLeftover& entry : plan) {
    if (!Running) {
      ShowStatus(Translate("Stopped: the remaining remote files were not deleted."));
      return;
    }
    if (entry.isDirectory && std::any_of(failed.begin(), failed.end(),
                                         [&](const std::string& path) { return path.starts_with(entry.remotePath); }))
      continue;
    ShowStatus(Translate("Deleting: ") + entry.remotePath);
    const bool deleted = entry.isDirectory
                             ? connection.RemoveDirectory(entry.remotePath.substr(0, entry.remotePath.size() - 1))
                             : connection.DeleteFile(entry.remotePath);
    if (deleted) {
      ++result_.filesDeleted;
      continue;
    }
    if (connection.LastError().Code() == FtpError::kStopped) return;
    ++result_.deletionsRefused;
    failed.push_back(entry.remotePath);
    const std::string message =
        (entry.isDirectory ? Translate("Cannot delete remote directory ") : Translate("Cannot delete remote file ")) +
        EscapeControlCharacters(entry.remotePath) + "\n" + connection.LastError().Message();
    // A connection that could not be made again ends the run with this one message.
    if (connection.IsBroken()) throw FtpError(connection.LastError().Code(), message);
    ShowMessage(message);
  }
}

}  // namespace ostrel
