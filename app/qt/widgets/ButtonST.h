// The application's flat push button: a text button (filled, outlined, or on the title bar) or an
// icon button drawn from an SVG. It shows a border while the mouse is over it and while it has the
// keyboard focus; a disabled button is drawn faded and does not act. An icon button takes its
// tooltip as its accessible name, since it shows no text.
#pragma once

#include <QIcon>
#include <QPushButton>

namespace ov::app {

class ButtonST : public QPushButton {
  Q_OBJECT

 public:
  enum class Look { Primary, Secondary, Title, Icon };

  ButtonST(const QString& objectName, Look look, QWidget* parent = nullptr);

  // An icon button's picture (a resource path of an SVG) and its tooltip, which also names it.
  void setSvgIcon(const QString& resource, const QString& tooltip);
  Look look() const { return m_look; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Look m_look;
  QIcon m_icon;
};

}  // namespace ov::app
