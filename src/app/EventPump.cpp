#include "app/EventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ostrel {
namespace {

constexpr int kMaxPasses = 10000;

// Swallows the events through which a dialog navigates by keyboard, for the
// widgets of one window only. Escape goes through: during a run it is the
// stop request, as Cancel is, also while a wait on the server goes on.
class NavigationKeyFilter : public QObject {
 public:
  explicit NavigationKeyFilter(const QWidget& dialog) : dialog_(dialog) {}

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (!receiver->isWidgetType() || static_cast<QWidget*>(receiver)->window() != &dialog_) return false;
    if (event->type() == QEvent::Shortcut) return true;
    if (event->type() != QEvent::KeyPress) return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
      case Qt::Key_Return:
      case Qt::Key_Enter:
        return true;
      default:
        return false;
    }
  }

 private:
  const QWidget& dialog_;
};

}  // namespace

void ProcessPendingEvents(const QWidget& dialog) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr) return;
  NavigationKeyFilter filter(dialog);
  QCoreApplication::instance()->installEventFilter(&filter);
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    QCoreApplication::sendPostedEvents();
    if (!dispatcher->processEvents(QEventLoop::AllEvents)) break;
  }
  QCoreApplication::instance()->removeEventFilter(&filter);
}

}  // namespace ostrel
