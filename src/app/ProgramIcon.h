#pragma once

#include <QIcon>

namespace ostrel {

// The program icon at every size the icon theme has it, from 16 to 256
// pixels, built into the program; a title bar, a task bar or a window
// switcher takes the size it draws at.
QIcon ProgramIcon();

}  // namespace ostrel
