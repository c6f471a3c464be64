#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace ostrel {

// Every wait of the layer is bounded: a silent server becomes an error, never a hang.
struct FtpTimeouts {
  std::chrono::milliseconds connect{std::chrono::seconds(60)};
  std::chrono::milliseconds reply{std::chrono::seconds(60)};
  std::chrono::milliseconds data{std::chrono::seconds(60)};
  // For a data connection to come about, in either mode. Short, because the
  // usual reason it does not is a firewall or NAT, which the other mode gets
  // around; a server's own connect timeout would cost a minute.
  std::chrono::milliseconds dataConnect{std::chrono::seconds(5)};
  // For a whole listing and for the whole greeting, against a server that
  // trickles bytes just fast enough to beat every single wait.
  std::chrono::milliseconds listing{std::chrono::minutes(5)};
  // Before the first new logon after a lost connection; each further one
  // waits twice as long as the one before.
  std::chrono::milliseconds reconnectPause{std::chrono::seconds(1)};
  // Asked at least every kStopCheckInterval during every wait: true ends the
  // wait at once, as a stopped operation, except during an upload, which is
  // let finish while it moves: it is given up once neither a byte went out
  // nor a reply came for quietAfterStop.
  std::function<bool()> stopRequested;
  std::chrono::milliseconds quietAfterStop{std::chrono::seconds(10)};
  // After the last byte of an upload: hosts that scan uploads before they
  // confirm them take minutes, so the wait is long, and longer by
  // finalReplyPerMebibyte for every MiB sent.
  std::chrono::milliseconds finalReply{std::chrono::minutes(5)};
  std::chrono::milliseconds finalReplyPerMebibyte{std::chrono::seconds(1)};
  // Told of each command sent ("> CWD /www") and each reply line received
  // ("< 250 OK"), raw; the password is replaced here already, so that no
  // trace can hold it. Called on the thread of whichever connection talks.
  std::function<void(const std::string& line)> trace;
};

inline constexpr std::chrono::milliseconds kStopCheckInterval{100};

// A wait as the user reads it: "60 seconds", "300 ms".
std::string DescribeWait(std::chrono::milliseconds wait);

}  // namespace ostrel
