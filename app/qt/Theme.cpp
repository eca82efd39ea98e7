#include "app/qt/Theme.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>

namespace ov::app::theme {

QFont Helvetica(int points, bool bold) {
  QFont font(QStringLiteral("Helvetica"), points, bold ? QFont::Bold : QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

namespace {

QFontMetrics DialogMetrics() { return QFontMetrics(Helvetica(8)); }

}  // namespace

int DluX(int dlu) {
  // The average width of the Latin letters, as the dialog-unit base is measured.
  static const int base = [] {
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return (DialogMetrics().horizontalAdvance(letters) / 26 + 1) / 2;
  }();
  return dlu * base / 4;
}

int DluY(int dlu) {
  static const int base = DialogMetrics().height();
  return dlu * base / 8;
}

QSize Dlu(int width, int height) { return {DluX(width), DluY(height)}; }

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget->setPalette(palette);
}

namespace {

void Style(QLabel* label, const QFont& font, const QColor& colour) {
  // Token names and server texts reach labels: never let one be read as markup.
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  SetTextColour(label, colour);
}

}  // namespace

void StyleHeadline(QLabel* label) { Style(label, Helvetica(14, true), kPurple); }
void StyleText(QLabel* label) {
  Style(label, Helvetica(12), kDescription);
  label->setWordWrap(true);
}
void StyleFieldLabel(QLabel* label) { Style(label, Helvetica(9, true), kDescription); }
void StyleValue(QLabel* label) { Style(label, Helvetica(9), kValue); }
void StyleInformationLabel(QLabel* label) { Style(label, Helvetica(9, true), kValue); }
void StyleHint(QLabel* label) {
  Style(label, Helvetica(8, true), kValue);
  label->setWordWrap(true);
}
void StyleError(QLabel* label) {
  Style(label, Helvetica(9), kError);
  label->setWordWrap(true);
}

QString ShortTitle(const QString& title) {
  return title.size() > 10 ? title.left(10) + QStringLiteral("...") : title;
}

}  // namespace ov::app::theme
