#include "engine/Publisher.h"

#include <cinttypes>
#include <cstdio>

#include "ftp/FtpConnection.h"
#include "recode/IsRecodedExtension.h"
#include "settings/SettingsTable.h"

namespace ostrel {

Publisher::Publisher(PublisherUserInterface& userInterface, std::string applicationName)
    : userInterface_(userInterface), applicationName_(std::move(applicationName)) {}

std::string FormatTotal(std::int64_t totalCopied) {
  char text[32];
  if (totalCopied <= 1024)
    std::snprintf(text, sizeof text, "%" PRId64, totalCopied);
  else
    std::snprintf(text, sizeof text, "%" PRId64 "K", totalCopied / 1024);
  return text;
}

void Publisher::ApplyOptions(const RunSettings& options) { confirmedOptions_ = options; }

void Publisher::TakeConfirmedOptions() {
  if (!confirmedOptions_) return;
  CopySettings(*confirmedOptions_, settings_, SettingGroup::Option);
  confirmedOptions_.reset();
}

void Publisher::ShowMessage(const std::string& text) {
  ++result_.messagesShown;
  userInterface_.ShowMessage(text);
}

void Publisher::ShowStatus(const std::string& text) {
  DeliverUploadEvents(true);
  // How the connection adapted (another data mode, a new logon) is said once.
  if (runConnection_ != nullptr)
    if (const std::string notice = runConnection_->TakeNotice(); !notice.empty())
      userInterface_.ShowStatusAndProcessInput(notice, FormatTotal(BytesSentSoFar()));
  userInterface_.ShowStatusAndProcessInput(text, FormatTotal(BytesSentSoFar()));
}

bool Publisher::IsRecodedExtension(const std::string& name) const {
  return ostrel::IsRecodedExtension(name, settings_.XCodeExtenstions);
}

bool Publisher::FindRemoteTime(const std::string& name, std::int64_t& writeTime) const {
  const RemoteEntry* entry = FindRemoteEntry(name);
  if (entry != nullptr) writeTime = entry->WriteTime;
  return entry != nullptr;
}

const RemoteEntry* Publisher::FindRemoteEntry(const std::string& name) const {
  // A look-up a file: a scan each would make a directory of 100,000 files a
  // matter of minutes. Made once per directory, after its listing.
  if (!remoteIndexed_) {
    remoteIndex_.clear();
    for (std::size_t index = 0; index < RemoteListing.size(); ++index)
      remoteIndex_.emplace(RemoteListing[index].FileName, index);  // the first of equal names, as a scan finds
    remoteIndexed_ = true;
  }
  const auto found = remoteIndex_.find(name);
  return found == remoteIndex_.end() ? nullptr : &RemoteListing[found->second];
}

}  // namespace ostrel
