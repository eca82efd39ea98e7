#include "app/qt/MessageBoxes.h"

#include <QMessageBox>

#include "frontend/StringTable.h"

namespace ov::app {
namespace {

MessageBoxes::Handler& InstalledHandler() {
  static MessageBoxes::Handler handler;
  return handler;
}

bool& InstalledAnswer() {
  static bool yes = true;
  return yes;
}

}  // namespace

void MessageBoxes::Show(QWidget* parent, Kind kind, const QString& text, const QString& caption) {
  if (InstalledHandler()) {
    InstalledHandler()(kind, text, caption);
    return;
  }
  QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::Information, caption,
                  text, QMessageBox::Ok, parent);
  box.setObjectName("messageBox");
  box.exec();
}

void MessageBoxes::ShowString(QWidget* parent, int textId) {
  Show(parent, Kind::Error, QString::fromUtf8(frontend::OVString(textId)),
       QString::fromUtf8(frontend::OVString(205)));
}

bool MessageBoxes::Ask(QWidget* parent, const QString& text, const QString& caption) {
  if (InstalledHandler()) {
    InstalledHandler()(Kind::Question, text, caption);
    return InstalledAnswer();
  }
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setObjectName("questionBox");
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void MessageBoxes::SetHandler(Handler handler) { InstalledHandler() = std::move(handler); }

void MessageBoxes::SetAnswer(bool yes) { InstalledAnswer() = yes; }

}  // namespace ov::app
