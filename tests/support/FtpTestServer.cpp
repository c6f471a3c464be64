#include "support/FtpTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <thread>

namespace ostrel::test {
namespace {

using Clock = std::chrono::steady_clock;

// With connect: whether something listens on port. Without: a port nobody
// listens on now, picked by the kernel for a bind to port 0.
std::uint16_t Probe(std::uint16_t port, bool connect) {
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  const bool ok = connect ? ::connect(probe, raw, length) == 0
                          : bind(probe, raw, length) == 0 && getsockname(probe, raw, &length) == 0;
  close(probe);
  return ok ? ntohs(address.sin_port) : 0;
}

// WNOWAIT leaves an ended leader unreaped, so its group id cannot be reused before Stop.
bool HasExited(pid_t process) {
  siginfo_t information{};
  return waitid(P_PID, static_cast<id_t>(process), &information, WEXITED | WNOHANG | WNOWAIT) != 0 ||
         information.si_pid == process;
}

}  // namespace

// Tests run at once may pick the same free port; the server that loses the race
// exits while the other answers there, so an answer alone does not make it ours.
static bool ListensItself(const std::filesystem::path& log, pid_t process, bool announcesItself) {
  if (!announcesItself) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return !HasExited(process);
  }
  std::ifstream in(log);
  return std::string(std::istreambuf_iterator<char>(in), {}).find("pid=" + std::to_string(process) + " ") !=
         std::string::npos;
}

void TestServer::Start(const std::function<std::vector<std::string>()>& arguments, bool announcesItself) {
  std::filesystem::create_directories(root_);
  const auto log = directory_.Path() / "output";
  // Another process may take the free port before the server binds it; then another is tried.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = Probe(0, false);
    std::vector<std::string> strings = arguments();
    std::vector<char*> argv(strings.size() + 1, nullptr);
    std::transform(strings.begin(), strings.end(), argv.begin(), [](std::string& text) { return text.data(); });
    const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    processId_ = fork();
    if (processId_ == 0) {
      // A group of its own, so that Stop reaches the sessions it forks; SIGTERM stops it even
      // when the test runner ignores the signal.
      setpgid(0, 0);
      signal(SIGTERM, SIG_DFL);
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(output, 1), dup2(output, 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(output);
    if (processId_ < 0) throw std::runtime_error("cannot start " + strings[0]);
    setpgid(processId_, processId_);  // also here, so that Stop cannot come before the child's own call
    for (const auto deadline = Clock::now() + std::chrono::seconds(30); Clock::now() < deadline;) {
      if (Probe(port_, true) != 0 && ListensItself(log, processId_, announcesItself)) return;
      if (HasExited(processId_)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
  }
  std::ifstream in(log);
  throw std::runtime_error("the test server did not start; it said: " +
                           std::string(std::istreambuf_iterator<char>(in), {}));
}

void TestServer::Stop() noexcept {
  if (processId_ <= 0) return;
  kill(-processId_, SIGTERM);
  for (const auto deadline = Clock::now() + std::chrono::seconds(5); !HasExited(processId_) && Clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  kill(-processId_, SIGKILL);
  waitpid(processId_, nullptr, 0);
  processId_ = -1;
}

TestCertificates::TestCertificates() {
  const auto command = "cd " + directory_.Path().string() + " && " OSTREL_TEST_SERVERS_DIR "/make_certificates.sh";
  if (system(command.c_str()) != 0) throw std::runtime_error("cannot make the test certificates: " + command);
}

std::filesystem::path TestCertificates::File(CertificateKind kind) const {
  static const char* const names[] = {"trusted", "selfsigned", "wrongname", "expired"};
  return directory_.Path() / (std::string(names[static_cast<int>(kind)]) + ".pem");
}

FtpTestServer::FtpTestServer(FtpTestServerOptions options) : TestServer(options.user, options.password) {
  Start(
      [&] {
        std::vector<std::string> arguments = {
            OSTREL_TEST_PYTHON, OSTREL_TEST_SERVERS_DIR "/ftp_server.py",
            "--port",           std::to_string(port_),
            "--root",           root_.string(),
            "--user",           user_,
            "--password",       password_,
            "--command-log",    options.logging ? (directory_.Path() / "log").string() : "/dev/null"};
        arguments.insert(arguments.end(), options.faults.begin(), options.faults.end());
        if (options.tls)
          arguments.insert(arguments.end(), {"--tls-cert", TestCertificates::Get().File(*options.tls).string(),
                                             "--tls-version", options.tlsVersion});
        if (options.tlsRequired) arguments.push_back("--tls-required");
        return arguments;
      },
      true);
}

StockPyftpdlibServer::StockPyftpdlibServer() : TestServer("tester", "secret") {
  Start(
      [&] {
        return std::vector<std::string>{
            OSTREL_TEST_PYTHON,    "-m", "pyftpdlib",    "-w", "-i",  "127.0.0.1", "-p",
            std::to_string(port_), "-d", root_.string(), "-u", user_, "-P",        password_};
      },
      true);
}

std::vector<std::string> FtpTestServer::CommandLog() const {
  std::vector<std::string> commands;
  std::ifstream log(directory_.Path() / "log", std::ios::binary);
  for (std::string line; std::getline(log, line);) commands.push_back(line);
  return commands;
}

std::optional<std::string> VsftpdTestServer::WhyUnavailable() {
  if (geteuid() == 0 && getpwnam("ftp") != nullptr) return std::nullopt;
  return "vsftpd needs root (it changes root and user per session) and the system account \"ftp\"";
}

VsftpdTestServer::VsftpdTestServer(const std::vector<std::string>& settings)
    : TestServer("anonymous", "tester@example.com") {
  if (auto reason = WhyUnavailable()) throw std::runtime_error(*reason);
  std::filesystem::create_directories("/var/run/vsftpd/empty");  // its sandbox; /var/run is emptied at boot
  // vsftpd refuses a root the session may write to: only pub is the server's.
  std::filesystem::create_directories(root_ / "pub");
  std::filesystem::permissions(directory_.Path(), std::filesystem::perms(0711));
  HandOver(root_ / "pub");
  // Anonymous writers need no account of the test's; UTC listings stated; containers lack the sandbox.
  std::ofstream(directory_.Path() / "empty.conf");
  Start(
      [&] {
        std::vector<std::string> arguments = {"/usr/sbin/vsftpd", (directory_.Path() / "empty.conf").string(),
                                              "-olisten_port=" + std::to_string(port_),
                                              "-oanon_root=" + root_.string()};
        for (const char* setting :
             {"listen=YES", "listen_address=127.0.0.1", "write_enable=YES", "anon_upload_enable=YES",
              "anon_mkdir_write_enable=YES", "anon_other_write_enable=YES", "anon_umask=022",
              "anon_world_readable_only=NO", "allow_writeable_chroot=YES", "delay_failed_login=0", "use_localtime=NO",
              "seccomp_sandbox=NO", "isolate=NO", "isolate_network=NO", "secure_chroot_dir=/var/run/vsftpd/empty"})
          arguments.push_back(std::string("-o") + setting);
        for (const std::string& setting : settings) arguments.push_back("-o" + setting);
        return arguments;
      },
      false);
}

static void GiveTo(const char* name, const std::filesystem::path& path) {
  const passwd* account = getpwnam(name);
  if (lchown(path.c_str(), account->pw_uid, account->pw_gid) != 0)
    throw std::runtime_error("cannot give " + path.string() + " to the account " + name);
  if (std::filesystem::is_directory(std::filesystem::symlink_status(path)))
    for (const auto& entry : std::filesystem::directory_iterator(path)) GiveTo(name, entry.path());
}

void VsftpdTestServer::HandOver(const std::filesystem::path& path) const { GiveTo("ftp", path); }

static const std::string kUnpacked = "/opt/ostrel-test-servers/";  // scripts/install-deps.sh tells what is there

// text with every `from` in it replaced by its `to`.
static std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& changes) {
  for (const auto& [from, to] : changes)
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  return text;
}

std::optional<std::string> PackagedTestServer::WhyUnavailable(PackagedServer kind) {
  const bool proftpd = kind == PackagedServer::Proftpd;
  const std::string binary = kUnpacked + (proftpd ? "proftpd-core/usr/sbin/proftpd" : "pure-ftpd/usr/sbin/pure-ftpd");
  if (geteuid() == 0 && getpwnam("ostreltest") != nullptr && (!proftpd || getpwnam("proftpd") != nullptr) &&
      access(binary.c_str(), X_OK) == 0 && access((kUnpacked + "password").c_str(), R_OK) == 0)
    return std::nullopt;
  return binary + " needs root, and what scripts/install-deps.sh unpacks and the accounts it makes";
}

PackagedTestServer::PackagedTestServer(PackagedServer kind) : TestServer("ostreltest", "") {
  if (auto reason = WhyUnavailable(kind)) throw std::runtime_error(*reason);
  password_ = ReadFile(kUnpacked + "password");
  root_ = "/";
  // The sessions run as the user, who passes through the test's folder to the site.
  std::filesystem::permissions(directory_.Path(), std::filesystem::perms(0711));
  const std::string work = directory_.Path().string() + "/";
  if (kind == PackagedServer::Proftpd) {
    const std::string package = kUnpacked + "proftpd-core", templates = package + "/usr/share/proftpd/templates/";
    WriteFile(work + "modules.conf", Replaced(ReadFile(templates + "modules.conf"),
                                              {{"ModulePath /usr/lib/", "ModulePath " + package + "/usr/lib/"}}));
    Start(
        [&] {
          // Logs, pid, scoreboard and delay table in the test's folder; the package's conf.d is empty.
          WriteFile(work + "proftpd.conf",
                    Replaced(ReadFile(templates + "proftpd.conf"),
                             {{"Include /etc/proftpd/modules.conf", "Include " + work + "modules.conf"},
                              {"Include /etc/proftpd/conf.d/", "#"},
                              {"\nPort 21\n", "\nPort " + std::to_string(port_) + "\n"},
                              {"/var/log/proftpd/", work},
                              {"/var/run/proftpd/", work}}) +
                        "DefaultAddress 127.0.0.1\nSocketBindTight on\nScoreboardFile " + work +
                        "scoreboard\nPidFile " + work + "pid\nDelayTable " + work + "delay\n");
          return std::vector<std::string>{package + "/usr/sbin/proftpd", "--nodaemon", "--config",
                                          work + "proftpd.conf"};
        },
        false);
    return;
  }
  // What Debian's pure-ftpd-wrapper makes of each packaged file in /etc/pure-ftpd/conf ("": nothing; the
  // authentication files it reads through the links in auth/, as below).
  const std::map<std::string, std::string> wrapper = {
      {"AltLog", "-O"},         {"FSCharset", ""},         {"MinUID", "-u"},           {"NoAnonymous", "-E"},
      {"TLSCipherSuite", "-J"}, {"PAMAuthentication", ""}, {"UnixAuthentication", ""}, {"PureDB", ""}};
  const std::string etc = kUnpacked + "pure-ftpd-common/etc/pure-ftpd/";
  const auto value = [](const std::filesystem::path& file) {
    const std::string text = ReadFile(file);
    return text.substr(0, text.find('\n'));
  };
  std::vector<std::string> options = {kUnpacked + "pure-ftpd/usr/sbin/pure-ftpd"};
  std::set<std::filesystem::path> links(std::filesystem::directory_iterator(etc + "auth"), {});
  for (const auto& link : links)
    if (value(link) == "yes")
      options.insert(options.end(),
                     {"-l", std::filesystem::read_symlink(link).filename() == "PAMAuthentication" ? "pam" : "unix"});
  for (const auto& file : std::filesystem::directory_iterator(etc + "conf")) {
    const auto flag = wrapper.find(file.path().filename().string());
    if (flag == wrapper.end())
      throw std::runtime_error("new to the tests, the pure-ftpd setting " + file.path().string());
    if (flag->second == "-E" && value(file) == "yes") options.push_back("-E");
    if (flag->second != "-E" && !flag->second.empty())
      options.insert(options.end(), {flag->second, Replaced(value(file), {{"/var/log/pure-ftpd/", work}})});
  }
  Start(
      [&] {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"-S", "127.0.0.1," + std::to_string(port_), "-g", work + "pid"});
        return arguments;
      },
      false);
}

void PackagedTestServer::HandOver(const std::filesystem::path& path) const { GiveTo("ostreltest", path); }

}  // namespace ostrel::test
