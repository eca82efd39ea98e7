#include "app/qt/NavigationEvent.h"

namespace ov::app {

NavigationEvent::NavigationEvent(int message, int code)
    : QEvent(Type()), m_message(message), m_code(code) {}

QEvent::Type NavigationEvent::Type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace ov::app
