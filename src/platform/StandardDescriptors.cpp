#include "platform/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ostrel {

void OpenClosedStandardDescriptors() {
  for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
    if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // open gives the lowest free number, which is this one, as the lower
    // ones are open by now. Without /dev/null the risk stays; go no further.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened != descriptor) std::_Exit(127);
  }
}

}  // namespace ostrel
