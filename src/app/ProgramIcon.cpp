#include "app/ProgramIcon.h"

namespace ostrel {

QIcon ProgramIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/ostrel/icons/ostrel-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/ostrel/icons/ostrel-16.png"), QSize(16, 16));
  return icon;
}

}  // namespace ostrel
