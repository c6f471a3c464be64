#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ostrel::test {

// While alive, this process obeys file permission bits even as root (CI runs
// as root): the capabilities that let root pass them are lowered from the
// effective set and raised again at the end, so unreadable files mean the same for every user.
class EnforcePermissionChecks {
 public:
  EnforcePermissionChecks() {
    if (!Capabilities(SYS_capget)) return;
    saved_ = data_[0];
    data_[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    lowered_ = Capabilities(SYS_capset);
  }
  ~EnforcePermissionChecks() { data_[0] = saved_, lowered_ && Capabilities(SYS_capset); }

 private:
  bool Capabilities(long call) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(call, &header, data_) == 0;
  }
  __user_cap_data_struct data_[2] = {}, saved_ = {};
  bool lowered_ = false;
};

}  // namespace ostrel::test
