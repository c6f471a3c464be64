#include "app/ProgramIcon.h"

#include <QPixmap>
#include <span>

#include "resources/ProgramIcons.h"

namespace ostrel {

QIcon ProgramIcon() {
  QIcon icon;
  for (const std::span<const unsigned char> png : icons::kImages) {
    QPixmap pixmap;
    pixmap.loadFromData(png.data(), static_cast<uint>(png.size()), "PNG");
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace ostrel
