#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace ostrel::test {

// A test name for CTest from a case's description: its index and the
// description's letters and digits, so a failing case reads as what it checks.
inline std::string ParameterName(std::size_t index, std::string_view description) {
  std::string name = std::to_string(index) + "_";
  for (char character : description) name += std::isalnum(static_cast<unsigned char>(character)) ? character : '_';
  return name;
}

}  // namespace ostrel::test
