#include "support/VsftpdTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace ostrel::test {

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";
constexpr int kStartAttempts = 5;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port nobody listens on right now. Another process may take it before
// vsftpd binds it; TryStart then fails and the next attempt picks another.
std::uint16_t FindFreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (probe >= 0) close(probe);
    throw std::runtime_error("cannot find a free port on 127.0.0.1");
  }
  close(probe);
  return ntohs(address.sin_port);
}

bool Accepts(std::uint16_t port) {
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const sockaddr_in address = Loopback(port);
  const bool connected = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(probe);
  return connected;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto position = text.find(from); position != std::string::npos; position = text.find(from, position + to.size()))
    text.replace(position, from.size(), to);
}

}  // namespace

std::optional<std::string> VsftpdTestServer::WhyUnavailable() {
  if (geteuid() != 0)
    return std::string(
        "vsftpd runs only as root (it changes root and user for every session); "
        "run the tests as root to include the vsftpd cases");
  return std::nullopt;
}

VsftpdTestServer::VsftpdTestServer() {
  if (auto reason = WhyUnavailable()) throw std::runtime_error(*reason);
  const passwd* account = getpwnam("ftp");
  if (account == nullptr)
    throw std::runtime_error(
        "vsftpd serves anonymous logons as the system account \"ftp\", which is missing; "
        "installing the vsftpd package creates it");
  serverUser_ = account->pw_uid;
  serverGroup_ = account->pw_gid;
  // vsftpd's own empty directory for its sandbox; /var/run is emptied at every boot.
  std::filesystem::create_directories("/var/run/vsftpd/empty");

  // The root must not be writable by the session (vsftpd refuses to run
  // then), so the root stays the test's and only pub is the server's.
  root_ = directory_.Path() / "root";
  std::filesystem::create_directories(root_ / "pub");
  std::filesystem::permissions(directory_.Path(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::group_exec |
                                                      std::filesystem::perms::others_exec);
  HandOver(root_ / "pub");

  const std::string pattern = ReadWholeFile(std::string(OSTREL_TEST_SERVERS_DIR) + "/vsftpd.conf.in");
  if (pattern.empty()) throw std::runtime_error("cannot read vsftpd.conf.in in " OSTREL_TEST_SERVERS_DIR);
  std::string log;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    port_ = FindFreePort();
    std::string configuration = pattern;
    ReplaceAll(configuration, "@PORT@", std::to_string(port_));
    ReplaceAll(configuration, "@ROOT@", root_.string());
    const auto configurationPath = directory_.Path() / "vsftpd.conf";
    std::ofstream(configurationPath, std::ios::binary | std::ios::trunc) << configuration;
    if (TryStart(configurationPath, log)) return;
  }
  throw std::runtime_error("vsftpd did not start; it said: " + log);
}

bool VsftpdTestServer::TryStart(const std::filesystem::path& configuration, std::string& log) {
  const auto logPath = directory_.Path() / "vsftpd.out";
  const int output = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (output < 0) throw std::runtime_error("cannot create " + logPath.string());
  process_ = std::make_unique<ServerProcess>(std::vector<std::string>{kVsftpd, configuration.string()}, output, output);
  close(output);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port_)) return true;
    if (process_->HasExited()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  process_.reset();
  log = ReadWholeFile(logPath);
  return false;
}

VsftpdTestServer::~VsftpdTestServer() { process_.reset(); }

std::string VsftpdTestServer::Host() const { return "127.0.0.1:" + std::to_string(port_); }

void VsftpdTestServer::HandOver(const std::filesystem::path& path) const {
  if (lchown(path.c_str(), serverUser_, serverGroup_) != 0)
    throw std::runtime_error("cannot give " + path.string() + " to the ftp account");
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path))) return;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
    if (lchown(entry.path().c_str(), serverUser_, serverGroup_) != 0)
      throw std::runtime_error("cannot give " + entry.path().string() + " to the ftp account");
}

}  // namespace ostrel::test
