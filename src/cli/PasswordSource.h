#pragma once

#include <optional>
#include <string>

namespace ostrel {

// The variable a script or a cron job sets to give the password without
// putting it on the command line.
inline constexpr const char* kPasswordVariable = "OSTREL_PASSWORD";

// The first line of a password file, without its line end ("\n" or "\r\n").
// Throws std::runtime_error naming the file and the cause when it cannot be
// read, is no regular file of at most 1 MiB, or other users may read or
// change it.
std::string ReadPasswordFile(const std::string& path);

// Asks on the terminal that standard input is, with echo off, and gives back
// the line typed; std::nullopt when a stop signal arrived while waiting. The
// terminal is restored on every way out.
std::optional<std::string> PromptForPassword(const std::string& prompt);

}  // namespace ostrel
