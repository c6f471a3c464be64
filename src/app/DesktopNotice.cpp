#include "app/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace ostrel {

void ShowDesktopNotice(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  const QString service = QStringLiteral("org.freedesktop.Notifications");
  QDBusMessage notify =
      QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"), service, "Notify");
  // Application name, id of a notice to replace (none), icon, summary, body,
  // actions, hints, and the server's own time to show it.
  notify << QStringLiteral("Ostrel") << 0u << QStringLiteral("ostrel") << summary << body << QStringList()
         << QVariantMap() << -1;
  // Not waited for: a missing service answers with an error nobody needs.
  bus.send(notify);
}

}  // namespace ostrel
