#include "sync/TemporaryRemoteName.h"

#include <string_view>

namespace ostrel {
namespace {

constexpr std::string_view kSuffix = ".ostrel-upload";

}  // namespace

std::string TemporaryRemoteName(const std::string& name) { return "." + name + std::string(kSuffix); }

bool IsTemporaryRemoteName(const std::string& name) {
  return name.size() > kSuffix.size() + 1 && name.front() == '.' && name.ends_with(kSuffix);
}

}  // namespace ostrel
