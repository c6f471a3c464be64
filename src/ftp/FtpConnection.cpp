#include "ftp/FtpConnection.h"

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <memory>
#include <string_view>
#include <thread>
#include <utility>

#include "ftp/FtpControlChannel.h"
#include "ftp/FtpDataTransfer.h"
#include "ftp/FtpMlsdParser.h"
#include "platform/Translation.h"

namespace ostrel {

namespace {

// Large reads keep the data connection busy with few system calls.
constexpr std::size_t kFileBlockSize = 256 * 1024;

// 257 "/pub/site" is the current directory: the path is quoted, and a quote
// inside it is doubled.
bool ParseQuotedPath(const std::string& text, std::string& path) {
  const auto open = text.find('"');
  if (open == std::string::npos) return false;
  path.clear();
  for (std::size_t position = open + 1; position < text.size(); ++position) {
    if (text[position] != '"') {
      path += text[position];
    } else if (position + 1 < text.size() && text[position + 1] == '"') {
      path += '"';
      ++position;
    } else {
      return true;
    }
  }
  return false;
}

std::string SystemText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

// FEAT lists one feature per line, indented: " MLST type*;size*;modify*;".
FtpFeatures ParseFeatures(const FtpReply& reply) {
  FtpFeatures features;
  for (std::size_t index = 1; index + 1 < reply.lines.size(); ++index) {
    std::string_view feature = reply.lines[index];
    while (!feature.empty() && feature.front() == ' ') feature.remove_prefix(1);
    std::string name(feature.substr(0, feature.find(' ')));
    for (char& character : name) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    features.mlst = features.mlst || name == "MLST";
    features.mdtm = features.mdtm || name == "MDTM";
    features.mfmt = features.mfmt || name == "MFMT";
    features.size = features.size || name == "SIZE";
    if (name == "MLST") {
      std::string facts(feature.substr(name.size()));
      for (char& character : facts) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
      // Facts shown unasked carry a "*".
      features.mlstModeOff = (facts + ";").find("unix.mode;") != std::string::npos;
    }
  }
  return features;
}

// Three or four octal digits, as servers take them in SITE CHMOD.
std::string OctalMode(unsigned mode) {
  std::string digits;
  for (mode &= 07777u; mode != 0 || digits.size() < 3; mode >>= 3)
    digits.insert(digits.begin(), static_cast<char>('0' + (mode & 7u)));
  return digits;
}

// pyftpdlib offers permission bits in MLSD listings but sends them only when
// asked, once per session: a new logon asks again.
void AskForModes(FtpControlChannel& channel, const std::optional<FtpFeatures>& features) {
  if (features && features->mlstModeOff) channel.Command("OPTS", "MLST type;size;modify;unix.mode;", 2);
}

// "YYYYMMDDHHMMSS name"; empty for a time that has no such form.
std::string MfmtArgument(std::int64_t utcSeconds, const std::string& name) {
  const std::time_t instant = static_cast<std::time_t>(utcSeconds);
  std::tm fields{};
  char stamp[32];
  if (gmtime_r(&instant, &fields) == nullptr || std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &fields) == 0)
    return {};
  return std::string(stamp) + " " + name;
}

// The number or time after "213 " in a SIZE or MDTM reply.
std::string_view ReplyValue(const FtpReply& reply) {
  std::string_view line = reply.lines.front();
  return line.size() > 4 ? line.substr(4) : std::string_view();
}

// "/pub/site/" and "/pub/site" name one directory; "/" stays itself.
std::string_view WithoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

}  // namespace

FtpConnection::FtpConnection(std::unique_ptr<FtpControlChannel> channel, std::shared_ptr<FtpServerFacts> facts,
                             FtpHostAddress address, std::shared_ptr<FtpTlsClient> tls, std::string user,
                             std::string password, const FtpTimeouts& timeouts)
    : channel_(std::move(channel)),
      facts_(std::move(facts)),
      address_(std::move(address)),
      tls_(std::move(tls)),
      user_(std::move(user)),
      password_(std::move(password)),
      timeouts_(timeouts) {}

bool FtpConnection::WithReconnection(const std::function<bool()>& operation, const std::string* uploadName) {
  if (SettleUploadSentAhead(uploadName) && operation()) return true;
  // After a stop request nothing is tried again, whatever ended the operation;
  // nor after a certificate that cannot be trusted, which a new logon meets again.
  while (channel_->IsBroken() && !closed_ && reconnections_ < kMaximumReconnections &&
         channel_->LastError().Code() != FtpError::kStopped &&
         channel_->LastError().Code() != FtpError::kUntrustedCertificate && !StopRequested()) {
    const std::chrono::milliseconds pause = timeouts_.reconnectPause * (1 << reconnections_);
    ++reconnections_;
    if (!pauseHandler_)
      std::this_thread::sleep_for(pause);
    else if (!pauseHandler_(pause))
      return false;
    if (!Reconnect()) return false;
    if (operation()) return true;
  }
  return false;
}

bool FtpConnection::StopRequested() const { return timeouts_.stopRequested && timeouts_.stopRequested(); }

bool FtpConnection::Reconnect() {
  try {
    auto channel = std::make_unique<FtpControlChannel>(address_, timeouts_, facts_, tls_);
    channel->LogOn(user_, password_);
    AskForModes(*channel, facts_->features);
    facts_->notice = Translate("The connection to the server was lost; logged on again.");
    if (!currentDirectory_.empty() && !channel->Command("CWD", currentDirectory_, 2)) {
      lastError_ = channel->LastError();
      return false;
    }
    channel_ = std::move(channel);
    return true;
  } catch (const FtpError& error) {
    lastError_ = error;
    return false;
  }
}

std::string FtpConnection::TakeNotice() { return std::exchange(facts_->notice, {}); }

FtpConnection::~FtpConnection() { Close(); }

bool FtpConnection::Failed() {
  lastError_ = channel_->LastError();
  return false;
}

bool FtpConnection::GetCurrentDirectory(std::string& path) {
  return WithReconnection([&] { return QueryCurrentDirectory(path); });
}

bool FtpConnection::QueryCurrentDirectory(std::string& path) {
  path.clear();
  FtpReply reply;
  if (!channel_->Command("PWD", {}, 2, &reply)) return Failed();
  if (reply.code != 257 || !ParseQuotedPath(reply.lines.front(), path)) {
    path.clear();
    channel_->RecordFailure(FtpError::kProtocolError,
                            Translate("The server's answer names no current directory: ") + reply.Text());
    return Failed();
  }
  return true;
}

bool FtpConnection::IsCurrentDirectory(const std::string& path) const {
  // Only an absolute path names the same directory wherever the server is.
  return !currentDirectory_.empty() && path.starts_with('/') &&
         WithoutTrailingSlashes(currentDirectory_) == WithoutTrailingSlashes(path);
}

bool FtpConnection::SetCurrentDirectory(const std::string& path) {
  if (IsCurrentDirectory(path)) return true;
  if (!WithReconnection([&] { return channel_->Command("CWD", path, 2) || Failed(); })) return false;
  currentDirectory_ = path;
  return true;
}

bool FtpConnection::CreateDirectory(const std::string& path) {
  return WithReconnection([&] { return channel_->Command("MKD", path, 2) || Failed(); });
}

bool FtpConnection::DeleteFile(const std::string& remoteName) {
  return WithReconnection([&] { return channel_->Command("DELE", remoteName, 2) || Failed(); });
}

bool FtpConnection::RemoveDirectory(const std::string& path) {
  return WithReconnection([&] { return channel_->Command("RMD", path, 2) || Failed(); });
}

bool FtpConnection::RenameFile(const std::string& from, const std::string& to, std::optional<std::int64_t> stampUtc,
                               std::optional<unsigned> mode, int* modeReply) {
  if (!channel_->AcceptsArgument(from) || !channel_->AcceptsArgument(to)) return Failed();
  const auto [stampVerb, stamp] = stampUtc ? StampCommand(*stampUtc, from) : std::pair<const char*, std::string>();
  const std::string chmod = mode ? "CHMOD " + OctalMode(*mode) + " " + from : std::string();
  if (modeReply != nullptr) *modeReply = 0;
  const std::optional<TransferAhead> next = std::exchange(transferExpected_, std::nullopt);
  return WithReconnection([&] {
    // Sent together and answered in order: a round trip per command would
    // cost more than the upload of a small page. A refused RNFR makes the
    // server refuse the RNTO after it too; a failed stamp or mode changes
    // nothing, and neither does a data port refused.
    std::vector<FtpCommand> commands;
    if (!stamp.empty()) commands.push_back({stampVerb, stamp});
    if (!chmod.empty()) commands.push_back({"SITE", chmod});
    commands.push_back({"RNFR", from});
    commands.push_back({"RNTO", to});
    const Ahead ahead = PlanAhead(next);
    if (ahead.enter) commands.push_back({"CWD", next->directory});
    if (ahead.port) commands.push_back({"EPSV", {}});
    if (ahead.upload) commands.push_back({"STOR", next->uploadName});
    std::vector<FtpReply> replies;
    if (!Exchange(commands, replies, ahead.upload)) return Failed();
    if (!TakeAheadReplies(ahead, next, replies)) return Failed();
    const FtpReply& renameFrom = replies[replies.size() - 2];
    const FtpReply& renameTo = replies.back();
    if (modeReply != nullptr && !chmod.empty()) *modeReply = replies[stamp.empty() ? 0 : 1].code;
    if (renameFrom.Class() != 3) return channel_->RecordReplyFailure(renameFrom), Failed();
    if (renameTo.Class() != 2) return channel_->RecordReplyFailure(renameTo), Failed();
    return true;
  });
}

FtpConnection::Ahead FtpConnection::PlanAhead(const std::optional<TransferAhead>& next) const {
  Ahead ahead;
  // Only where EPSV has given a port before and the server takes commands
  // together: anywhere else the port would cost what it saves.
  ahead.port = next && facts_->dataMode == FtpDataMode::Passive && facts_->epsvAnswered && !facts_->epsvRefused &&
               !facts_->oneCommandAtATime;
  // The names renamed are of the directory the upload went to: it is left
  // only after them.
  ahead.enter = ahead.port && !next->directory.empty() && !IsCurrentDirectory(next->directory);
  ahead.upload = ahead.port && !next->uploadName.empty() && channel_->BinaryTypeSet();
  return ahead;
}

// Takes the replies to what went out ahead off the end of `replies`.
bool FtpConnection::TakeAheadReplies(const Ahead& ahead, const std::optional<TransferAhead>& next,
                                     std::vector<FtpReply>& replies) {
  const bool uploadUnanswered = ahead.upload && replies.back().code == 0;
  if (ahead.upload) replies.pop_back();
  std::optional<std::uint16_t> port;
  if (ahead.port) {
    if (replies.back().code == 229) port = EpsvPort(replies.back().Text());
    replies.pop_back();
  }
  bool entered = true;
  if (ahead.enter) {
    entered = replies.back().Class() == 2;
    if (entered) currentDirectory_ = next->directory;
    replies.pop_back();
  }
  if (port) {
    channel_->KeepPortOpenedAhead(*port);
    if (!uploadUnanswered) return true;
    channel_->NoteUploadSentAhead(next->uploadName);
    // Refused the directory, the server took the upload into the one the
    // connection stays in: it is ended and deleted there at once.
    return entered || SettleUploadSentAhead(nullptr);
  }
  if (!uploadUnanswered) return true;
  // Without a port the upload is refused at once.
  FtpReply refused;
  if (!channel_->ReadReply(refused)) return false;
  if (refused.Class() != 1) return true;
  channel_->Break(FtpError::kProtocolError,
                  Translate("The server answered commands sent together out of step: ") + refused.Text());
  return false;
}

bool FtpConnection::SettleUploadSentAhead(const std::string* uploadName) {
  const std::optional<std::string>& pending = channel_->UploadSentAhead();
  if (!pending || (uploadName != nullptr && *uploadName == *pending)) return true;
  const std::string name = *pending;
  // The upload is not coming (its file could not be read, or the run was
  // stopped): an empty one ends the server's wait, and the empty copy goes.
  {
    FtpDataTransfer transfer(*channel_);
    if (transfer.Start("STOR", name)) transfer.Finish(0);
  }
  if (!channel_->IsBroken()) channel_->Command("DELE", name, 2);
  return !channel_->IsBroken();
}

void FtpConnection::ReleasePortOpenedAhead() {
  if (channel_->UploadSentAhead()) {
    SettleUploadSentAhead(nullptr);
    return;
  }
  if (!channel_->TakePortOpenedAhead() || channel_->IsBroken()) return;
  // A port left waiting is given up by the server after a while, and some
  // say so unasked, which would then pass for the answer to a later command.
  if (!channel_->Command("ABOR", {}, 2)) Failed();
}

bool FtpConnection::Exchange(const std::vector<FtpCommand>& commands, std::vector<FtpReply>& replies,
                             bool lastAnsweredLater) {
  replies.assign(commands.size(), FtpReply{});
  if (facts_->oneCommandAtATime) return ExchangeOneAtATime(commands, replies, 0);
  if (!channel_->SendTogether(commands)) return false;
  const std::size_t answered = commands.size() - (lastAnsweredLater ? 1 : 0);
  for (std::size_t index = 0; index < answered; ++index) {
    if (channel_->ReadReply(replies[index])) continue;
    // Lost in the batch: the repeat after the next logon goes one at a time.
    if (channel_->IsBroken()) facts_->oneCommandAtATime = true;
    return false;
  }
  // "Bad sequence" for a command that needs none before it: the server
  // takes no command behind another. What it did before the first it
  // refused stands; from there on each is sent again, alone. RNTO's 503 is
  // no such sign: it answers a refused RNFR.
  for (std::size_t index = 0; index < answered; ++index) {
    if (replies[index].code != 503 || commands[index].verb == "RNTO") continue;
    facts_->oneCommandAtATime = true;
    if (lastAnsweredLater) {
      // The transfer behind the batch was refused at once, having no port;
      // one that got a port may wait for it, and only a new logon is in step.
      if (replies[answered - 1].Class() == 2 || !channel_->ReadReply(replies.back()) || replies.back().Class() == 1) {
        channel_->Break(FtpError::kProtocolError,
                        Translate("The server refused commands sent together: ") + replies[index].Text());
        return false;
      }
      return ExchangeOneAtATime(commands, replies, index, answered);
    }
    return ExchangeOneAtATime(commands, replies, index);
  }
  return true;
}

bool FtpConnection::ExchangeOneAtATime(const std::vector<FtpCommand>& commands, std::vector<FtpReply>& replies,
                                       std::size_t first, std::optional<std::size_t> end) {
  for (std::size_t index = first; index < end.value_or(commands.size()); ++index)
    if (!channel_->Send(commands[index].verb, commands[index].argument) || !channel_->ReadReply(replies[index]))
      return false;
  return true;
}

int FtpConnection::AskRenameFrom(const std::string& remoteName) {
  if (!SettleUploadSentAhead(nullptr)) return Failed(), 0;
  FtpReply reply;
  if (!channel_->Send("RNFR", remoteName) || !channel_->ReadReply(reply)) return Failed(), 0;
  if (reply.Class() == 3) {
    FtpReply declined;
    if (!channel_->Send("RNTO", remoteName) || !channel_->ReadReply(declined)) return Failed(), 0;
  }
  return reply.code;
}

std::optional<std::int64_t> FtpConnection::FileSize(const std::string& remoteName) {
  FtpReply reply;
  if (!WithReconnection(
          [&] { return (EnsureBinaryType() && channel_->Command("SIZE", remoteName, 2, &reply)) || Failed(); }))
    return std::nullopt;
  return ParseSize(ReplyValue(reply));
}

std::optional<std::int64_t> FtpConnection::FileModificationTime(const std::string& remoteName) {
  FtpReply reply;
  if (!WithReconnection([&] { return channel_->Command("MDTM", remoteName, 2, &reply) || Failed(); }))
    return std::nullopt;
  return ParseModifyTime(ReplyValue(reply));
}

bool FtpConnection::SetFileModificationTime(const std::string& remoteName, std::int64_t utcSeconds) {
  const auto [verb, argument] = StampCommand(utcSeconds, remoteName);
  if (argument.empty()) return false;
  return WithReconnection([&] { return channel_->Command(verb, argument, 2) || Failed(); });
}

bool FtpConnection::SetsFileTimes() { return Features().mfmt || facts_->mdtmSetsTime.value_or(false); }

bool FtpConnection::SetModifyTimeByMdtm(const std::string& remoteName, std::int64_t serverClockSeconds) {
  const std::string argument = MfmtArgument(serverClockSeconds, remoteName);
  if (argument.empty()) return false;
  return WithReconnection([&] { return channel_->Command("MDTM", argument, 2) || Failed(); });
}

std::pair<const char*, std::string> FtpConnection::StampCommand(std::int64_t utcSeconds, const std::string& name) {
  if (Features().mfmt) return {"MFMT", MfmtArgument(utcSeconds, name)};
  if (facts_->mdtmSetsTime.value_or(false))
    return {"MDTM", MfmtArgument(utcSeconds + facts_->modifyTimeOffset.value_or(0), name)};
  return {"", {}};
}

FtpFeatures FtpConnection::Features() {
  std::optional<FtpFeatures>& features = facts_->features;
  if (features) return *features;
  FtpReply reply;
  if (!SettleUploadSentAhead(nullptr)) return {};
  if (channel_->Command("FEAT", {}, 2, &reply)) {
    features = ParseFeatures(reply);
    AskForModes(*channel_, features);
    return *features;
  }
  // A server that refuses FEAT offers none of the extensions; a connection
  // lost before the answer tells nothing, and the next logon asks again.
  if (!channel_->IsBroken()) features = FtpFeatures{};
  return {};
}

bool FtpConnection::EnsureBinaryType() {
  if (channel_->BinaryTypeSet()) return true;
  if (!channel_->Command("TYPE", "I", 2)) return false;
  channel_->SetBinaryType();
  return true;
}

bool FtpConnection::PutFile(int localFile, const std::string& remoteName, const PutProgress& progress) {
  const off_t start = ::lseek(localFile, 0, SEEK_CUR);
  return WithReconnection(
      [&] {
        // A repeated put sends the whole file again.
        if (start >= 0 && ::lseek(localFile, start, SEEK_SET) != start) {
          lastError_ = FtpError(FtpError::kSystemError, Translate("Cannot read the local file: ") + SystemText(errno));
          return false;
        }
        return PutOnce(localFile, remoteName, progress);
      },
      &remoteName);
}

bool FtpConnection::PutOnce(int localFile, const std::string& remoteName, const PutProgress& progress) {
  // The file being copied completes even when the user asks to stop.
  channel_->SetUploading(true);
  const std::unique_ptr<FtpControlChannel, void (*)(FtpControlChannel*)> uploading(
      channel_.get(), [](FtpControlChannel* channel) { channel->SetUploading(false); });
  lastPutWasStarted_ = false;
  lastPutBytes_ = 0;
  // Checked before anything is sent, so a refused name costs no data port.
  if (!channel_->AcceptsArgument(remoteName)) return Failed();
  if (!EnsureBinaryType()) return Failed();

  FtpDataTransfer transfer(*channel_);
  const bool started = transfer.Start("STOR", remoteName);
  lastPutWasStarted_ = transfer.WasStarted();
  if (!started) return Failed();

  const auto block = std::make_unique<char[]>(kFileBlockSize);
  for (;;) {
    const ssize_t count = ::read(localFile, block.get(), kFileBlockSize);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      transfer.Abandon(FtpError::kSystemError, Translate("Cannot read the local file: ") + SystemText(errno));
      return Failed();
    }
    if (count == 0) break;
    if (!transfer.Send(block.get(), static_cast<std::size_t>(count))) return Failed();
    lastPutBytes_ += count;
    if (progress) progress(lastPutBytes_);
  }
  return transfer.Finish(lastPutBytes_) || Failed();
}

void FtpConnection::Close() {
  try {
    if (!closed_) SettleUploadSentAhead(nullptr);
  } catch (...) {
    // The connection closes all the same; the next run deletes the copy.
  }
  closed_ = true;
  channel_->Quit();
}

bool FtpConnection::IsBroken() const { return channel_->IsBroken(); }

bool FtpConnection::IsSecure() const { return channel_->IsSecure(); }

}  // namespace ostrel
