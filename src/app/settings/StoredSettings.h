#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

class SettingsStore;
class Publisher;

inline constexpr const char* kSettingsSection = "Parameters";
inline constexpr const char* kDefaultExtensions = "htm, html, txt";

// The six options as the options dialog holds them.
struct StoredOptions {
  std::int32_t SkipSpecialDirs = 1;
  std::string XCodeExtenstions = kDefaultExtensions;
  std::int32_t Xcode = 1;
  std::int32_t NoQMarks = 1;
  std::int32_t UpdateOnly = 1;
  std::int32_t Recurse = 1;
};

// Reads LocalDir, Host, Name, RemoteDir (no default), then the six options
// with their defaults, in that order, into the run settings. The password is
// set empty: it is never stored.
void LoadRunSettings(const SettingsStore& store, Publisher& publisher);
// Writes LocalDir, Host, Name, RemoteDir, in that order.
void SaveSettings(SettingsStore& store, const Publisher& publisher);

// Reads SkipSpecialDirs, XCodeExtenstions, Xcode, NoQMarks, UpdateOnly, Recurse, in that order.
StoredOptions LoadOptions(const SettingsStore& store);
// Writes the six options in the same order.
void SaveOptions(SettingsStore& store, const StoredOptions& options);

}  // namespace ostrel
