#include "recode/IsRecodedExtension.h"

namespace ostrel {

bool IsRecodedExtension(const std::string& name, const std::string& extensions) {
  const std::string::size_type dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) return false;
  return extensions.find(name.data() + dot + 1, 0, name.size() - dot - 1) != std::string::npos;
}

}  // namespace ostrel
