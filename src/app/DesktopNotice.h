#pragma once

#include <QString>

namespace ostrel {

// Shows a notice through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). Without a session bus
// or a service there is nobody to tell, and nothing happens: the notice is
// a courtesy, never a condition of anything.
void ShowDesktopNotice(const QString& summary, const QString& body);

}  // namespace ostrel
