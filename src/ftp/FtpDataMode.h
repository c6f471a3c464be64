#pragma once

namespace ostrel {

// Who opens a data connection: the server connecting back to us (active), or
// we connecting to the server (passive).
enum class FtpDataMode { Active, Passive };

}  // namespace ostrel
