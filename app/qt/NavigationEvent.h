// A navigation message with its code as a Qt event, posted to the main window: posting (never
// sending) lets the handler that posted it finish before the window replaces its screen.
#pragma once

#include <QEvent>

#include "app/core/Navigation.h"

namespace ov::app {

class NavigationEvent : public QEvent {
 public:
  NavigationEvent(int message, int code);
  int message() const { return m_message; }
  int code() const { return m_code; }

  // The event type all navigation messages share.
  static QEvent::Type Type();

 private:
  int m_message;
  int m_code;
};

}  // namespace ov::app
