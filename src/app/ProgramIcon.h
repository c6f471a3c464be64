#pragma once

#include <QIcon>

namespace ostrel {

// The program icon with its 32 by 32 and 16 by 16 pixel images, built into
// the program through Qt's resource system.
QIcon ProgramIcon();

}  // namespace ostrel
