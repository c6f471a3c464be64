#include "engine/TemporaryRemoteName.h"

#include <random>
#include <string_view>

namespace ostrel {
namespace {

constexpr std::string_view kSuffix = ".ostrel-upload";
constexpr std::string_view kTagCharacters = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int kTagLength = 6;

}  // namespace

std::string TemporaryRemoteName(const std::string& name) {
  // Each thread has an engine of its own: the uploads of several connections
  // draw at once.
  thread_local std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kTagCharacters.size() - 1);
  std::string tag;
  for (int index = 0; index < kTagLength; ++index) tag += kTagCharacters[pick(engine)];
  return "." + name + "." + tag + std::string(kSuffix);
}

bool IsTemporaryRemoteName(const std::string& name) {
  return name.size() > kSuffix.size() + 1 && name.front() == '.' && name.ends_with(kSuffix);
}

}  // namespace ostrel
