#pragma once

#include <cstdint>

#include "settings/RunSettings.h"

namespace ostrel {

// How many files a run with these settings will consider (copy, skip or
// fail), found by walking the local tree with the run's own rules: regular
// files (links followed), subdirectories only with Recurse, those beginning
// with "_" left out with SkipSpecialDirs, each directory entered once. The
// progress line's "of N"; the run itself does its own walk.
std::int64_t CountFilesToConsider(const RunSettings& settings);

}  // namespace ostrel
