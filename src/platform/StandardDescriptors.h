#pragma once

namespace ostrel {

// Opens /dev/null on each of standard input, output and error that is
// closed. Called first thing in main: a program started with one of them
// closed would otherwise hand that number to the next file or socket it
// opens, and its messages would go there (to the FTP server, say).
void OpenClosedStandardDescriptors();

}  // namespace ostrel
