#pragma once

#include <filesystem>
#include <string>

namespace ostrel {

struct RunSettings;

// The text of --help: every option with the value the settings file gives it
// now, where the password may come from, and the exit statuses.
std::string FormatHelp(const RunSettings& stored, const std::filesystem::path& settingsFile);

}  // namespace ostrel
