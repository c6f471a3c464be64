#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "engine/UploadJob.h"
#include "ftp/FtpConnection.h"

namespace ostrel {

// What every connection of a run shares about uploads; safe to use from
// several threads.
struct UploadRules {
  // Pages are replaced whole through a temporary name until the server turns
  // out not to rename files.
  std::atomic<bool> replaceWhole = true;
  // Whether the server answered a rename at all was asked before the first
  // upload, so that on a server without renames no page goes up twice.
  std::atomic<bool> renameAsked = false;
  // A replaced page lost its permissions, and the user was told.
  std::atomic<bool> lostModesSaid = false;
  // A new logon, used only to look at a copy that a lost connection may have
  // cut; it throws FtpError when none can be made.
  std::function<std::unique_ptr<FtpConnection>()> logOnAgain;
  // Temporary copies listed before this time (seconds since 1970 UTC) are
  // leftovers of a killed run, to be deleted. Set before any connection starts.
  std::int64_t deleteLeftoversBefore = 0;
};

// Carries out uploads on one connection: enters the file's directory unless
// the connection is there already, sends the file (recoded when the job says
// so) under a temporary name and renames it over the page, or in place on a
// server that cannot rename, and removes what a failure leaves behind.
class FileUploader {
 public:
  FileUploader(FtpConnection& connection, UploadRules& rules) : connection_(connection), rules_(rules) {}

  UploadOutcome Upload(const UploadJob& job, const FtpConnection::PutProgress& progress = {});
  // The transfer a connection has taken to do next: an upload, or a listing
  // that needs no directory entered.
  struct NextTransfer {
    UploadJob* upload = nullptr;
  };
  // Asked once an upload is confirmed. Its rename then carries the data port
  // of the next transfer, and the upload's STOR (or entering its directory).
  using NextTransferCheck = std::function<std::optional<NextTransfer>()>;
  void SetNextTransferCheck(NextTransferCheck check) { nextTransferTaken_ = std::move(check); }

 private:
  enum class ReplaceOutcome { Replaced, Failed, RenameUnsupported };
  bool Transfer(const UploadJob& job, const FtpConnection::PutProgress& progress, UploadOutcome& outcome);
  ReplaceOutcome PutReplacing(int file, const UploadJob& job, const FtpConnection::PutProgress& progress,
                              UploadOutcome& outcome);
  bool PutInPlace(int file, std::int64_t size, const UploadJob& job, const FtpConnection::PutProgress& progress,
                  UploadOutcome& outcome);
  void RemoveTruncatedCopy(const UploadJob& job, std::int64_t size);
  // The temporary copy is gone and the page has its size.
  bool RenameHappened(const std::string& temporary, const UploadJob& job);
  void NoteLostMode(const UploadJob& job, int modeReply, UploadOutcome& outcome);
  enum class Placement { Temporary, InPlace };
  bool StoredWhole(const std::string& remoteName, UploadOutcome& outcome, Placement placement);

  FtpConnection& connection_;
  UploadRules& rules_;
  NextTransferCheck nextTransferTaken_;
};

}  // namespace ostrel
