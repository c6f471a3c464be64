#pragma once

namespace ostrel::test {

// While alive, this process obeys file permission bits even when it runs as
// root (CI does): the capabilities that let root read and write past them are
// lowered from the effective set, and raised again when the object goes. So
// tests of unreadable directories and files mean the same for every user.
class EnforcePermissionChecks {
 public:
  EnforcePermissionChecks();
  ~EnforcePermissionChecks();
  EnforcePermissionChecks(const EnforcePermissionChecks&) = delete;
  EnforcePermissionChecks& operator=(const EnforcePermissionChecks&) = delete;

 private:
  bool lowered_ = false;
  unsigned effective_[2] = {0, 0};
};

}  // namespace ostrel::test
