// Recodes one large sparse text file (5 GiB unless given in GiB) and prints
// how long it took and the process's peak memory: the recoder streams, so
// the peak stays at a few megabytes whatever the file's size. Usage:
//   recode_memory [GIB]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/FileDescriptor.h"
#include "recode/Koi8Recoder.h"

int main(int argc, char** argv) {
  const long long gibibytes = argc > 1 ? std::atoll(argv[1]) : 5;
  const std::filesystem::path source = std::filesystem::temp_directory_path() / "recode_memory_source.txt";
  {
    const ostrel::FileDescriptor file(::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const std::string head =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"></head>\n";
    if (!file.IsOpen() || ::write(file.Get(), head.data(), head.size()) != static_cast<ssize_t>(head.size()) ||
        ::ftruncate(file.Get(), gibibytes << 30) != 0) {
      std::perror("cannot make the source file");
      return 1;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  long long recodedSize = -1;
  {
    const ostrel::FileDescriptor recoded = ostrel::Koi8Recoder(source.string()).RecodeFile(true);
    recodedSize = static_cast<long long>(::lseek(recoded.Get(), 0, SEEK_END));
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::filesystem::remove(source);
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("recoded %lld GiB (%lld bytes out) in %.1f s; peak memory %ld MiB\n", gibibytes, recodedSize,
              elapsed.count(), usage.ru_maxrss / 1024);
  return 0;
}
