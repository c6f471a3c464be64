#pragma once

class QWidget;

namespace ostrel {

// Handles every event that is waiting, for any window of the thread, and
// returns as soon as none is left; it never waits for one. Events posted by
// the handlers it runs are handled in the same call.
//
// Qt 6 cannot say whether events are pending, so the pump repeats passes of
// "deliver posted events, then let the event dispatcher handle what the
// window system, timers and sockets have ready without blocking" until the
// dispatcher reports a pass in which it handled nothing. A cap on the number
// of passes keeps a handler that keeps re-posting work (or a zero-interval
// timer) from holding the caller forever.
//
// The dialog's own keyboard navigation (Tab, Enter, Escape and mnemonics)
// is not applied to the events handled here: keys still reach the control
// that has the focus, but they neither move the focus nor press a button.
// Other windows, such as a dialog opened from inside the pump, keep theirs.
void ProcessPendingEvents(const QWidget& dialog);

}  // namespace ostrel
