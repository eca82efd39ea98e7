#include "app/qt/widgets/ButtonST.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/qt/Theme.h"

namespace ov::app {

ButtonST::ButtonST(const QString& objectName, Look look, QWidget* parent)
    : QPushButton(parent), m_look(look) {
  setObjectName(objectName);
  setFont(theme::Helvetica(9, true));
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover, true);
  setAutoDefault(false);
}

void ButtonST::setSvgIcon(const QString& resource, const QString& tooltip) {
  m_icon = QIcon(resource);
  setToolTip(tooltip);
  setAccessibleName(tooltip);
  update();
}

QSize ButtonST::sizeHint() const {
  if (m_look == Look::Icon) return theme::Dlu(22, 18);
  const QFontMetrics metrics(font());
  return {std::max(metrics.horizontalAdvance(text()) + theme::DluX(16), theme::DluX(50)),
          metrics.height() + theme::DluY(8)};
}

void ButtonST::keyPressEvent(QKeyEvent* event) {
  // Enter on a focused button presses it, as Space does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void ButtonST::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool hot = isEnabled() && (underMouse() || hasFocus());
  const bool down = isDown();
  const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  const qreal radius = 4;

  if (m_look == Look::Icon) {
    if (hot) {
      painter.setPen(QPen(QColor(176, 106, 173), 1.5));
      painter.setBrush(down ? QColor(60, 20, 58) : Qt::transparent);
      painter.drawRoundedRect(box, radius, radius);
    }
    const int side = std::min(width(), height()) - 10;
    const QRect iconRect((width() - side) / 2, (height() - side) / 2, side, side);
    painter.setOpacity(isEnabled() ? 1.0 : 0.3);
    m_icon.paint(&painter, iconRect);
    return;
  }

  QColor fill = theme::kPurple;
  QColor textColour = theme::kWhite;
  QColor border = fill;
  switch (m_look) {
    case Look::Primary:
      fill = down ? theme::kPurple.darker(130) : theme::kPurple;
      border = hot ? QColor(176, 106, 173) : fill;
      break;
    case Look::Secondary:
      fill = down ? QColor(235, 225, 235) : theme::kWhite;
      textColour = theme::kPurple;
      border = hot ? theme::kPurple.darker(140) : theme::kPurple;
      break;
    case Look::Title:
      fill = down ? theme::kPurple.darker(130) : Qt::transparent;
      border = hot ? theme::kWhite : QColor(255, 255, 255, 110);
      break;
    case Look::Icon:
      break;
  }
  if (!isEnabled()) {
    fill = m_look == Look::Title ? Qt::transparent : theme::kRowEven;
    textColour = m_look == Look::Title ? QColor(255, 255, 255, 120) : theme::kWhite;
    border = fill;
  }
  painter.setPen(QPen(border, hot ? 2.0 : 1.0));
  painter.setBrush(fill);
  painter.drawRoundedRect(box, radius, radius);
  painter.setPen(textColour);
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace ov::app
