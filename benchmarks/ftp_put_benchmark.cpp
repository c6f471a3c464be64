// Puts a 100 MB file to a local pyftpdlib server through the FTP layer and
// prints the rate: log on, one put, log off, timed as a whole. Every run
// writes a new remote file, removed untimed afterwards, so the server never
// spends the timed window on truncating the previous copy. Usage:
//   ftp_put_benchmark [REPETITIONS]
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "ftp/FtpSession.h"
#include "platform/FileDescriptor.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace {

constexpr std::size_t kFileSize = 100'000'000;  // MB and MB/s are 10^6 bytes here

std::string BenchmarkBytes() {
  std::string bytes(kFileSize, '\0');
  std::uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  ostrel::test::TempDirectory local;
  const auto file = local.Path() / "file.bin";
  ostrel::test::WriteFile(file, BenchmarkBytes());

  ostrel::test::FtpTestServerOptions options;
  options.logging = false;
  ostrel::test::FtpTestServer server(options);
  ostrel::FtpSession session("ftp_put_benchmark");

  std::vector<double> seconds;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    const std::string name = "file-" + std::to_string(repetition) + ".bin";
    const auto start = std::chrono::steady_clock::now();
    try {
      auto connection = session.Connect(server.Host(), server.User(), server.Password());
      const ostrel::FileDescriptor source(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
      if (!connection->PutFile(source.Get(), name)) {
        std::fprintf(stderr, "put failed: %s\n", connection->LastError().Message().c_str());
        return 1;
      }
      connection->Close();
    } catch (const ostrel::FtpError& error) {
      std::fprintf(stderr, "logon failed: %s\n", error.Message().c_str());
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (std::filesystem::file_size(server.Root() / name) != kFileSize) {
      std::fprintf(stderr, "the server holds a file of the wrong size\n");
      return 1;
    }
    std::filesystem::remove(server.Root() / name);
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf(
      "ostrel FtpConnection::PutFile, active, 100 MB, %d runs: median %.3f s = %.0f MB/s, best %.3f s = %.0f MB/s\n",
      repetitions, median, kFileSize / median / 1e6, seconds.front(), kFileSize / seconds.front() / 1e6);
  return 0;
}
