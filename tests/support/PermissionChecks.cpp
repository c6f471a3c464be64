#include "support/PermissionChecks.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <stdexcept>

namespace ostrel::test {
namespace {

constexpr unsigned kBypassCapabilities =
    (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool GetCapabilities(__user_cap_data_struct (&data)[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return syscall(SYS_capget, &header, data) == 0;
}

bool SetCapabilities(__user_cap_data_struct (&data)[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

EnforcePermissionChecks::EnforcePermissionChecks() {
  __user_cap_data_struct data[2] = {};
  if (!GetCapabilities(data)) throw std::runtime_error("capget failed");
  effective_[0] = data[0].effective;
  effective_[1] = data[1].effective;
  if ((data[0].effective & kBypassCapabilities) == 0) return;
  data[0].effective &= ~kBypassCapabilities;
  if (!SetCapabilities(data)) throw std::runtime_error("capset failed");
  lowered_ = true;
}

EnforcePermissionChecks::~EnforcePermissionChecks() {
  if (!lowered_) return;
  __user_cap_data_struct data[2] = {};
  if (!GetCapabilities(data)) return;
  data[0].effective = effective_[0];
  data[1].effective = effective_[1];
  SetCapabilities(data);
}

}  // namespace ostrel::test
