// orvanti-screenshots OUTPUT-FOLDER: shows the application's main screens in a private token store
// with a fixed clock and writes a PNG of the window for each (scripts/screenshots runs it under
// Xvfb, so the pictures are what a person sees on an X display).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>
#include <functional>

#include "app/qt/MainWindow.h"
#include "app/qt/MessageBoxes.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/widgets/CustomListCtrl.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;

namespace {

void Save(MainWindow& window, const QDir& folder, const char* name) {
  ov::test::Drain();
  window.repaint();
  const QString path = folder.filePath(QString::fromLatin1(name) + ".png");
  if (!window.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

void Post(MainWindow& window, int message, int code) {
  QCoreApplication::postEvent(&window, new NavigationEvent(message, code));
  ov::test::Drain();
}

void Choose(MainWindow& window, const QString& name) {
  auto* pair = static_cast<DualDialogWrapper*>(window.getActiveChildDlg());
  auto* list = static_cast<TokenListDialog*>(pair->first());
  for (int row = 0; row < list->list()->topLevelItemCount(); ++row) {
    if (list->list()->topLevelItem(row)->text(0) == name) list->OnLvnItemchangedList1(row);
  }
  ov::test::Drain();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvanti-screenshots OUTPUT-FOLDER\n");
    return 2;
  }
  ov::test::PrivateHome home;
  QApplication application(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(folder.path());
  ov::test::AppEnvironment env;
  // 2026-12-10 09:30:20 UTC: ten seconds into a time step.
  env.clock.now = 1796895020;

  {
    MainWindow window;
    window.start();
    window.show();
    Save(window, folder, "welcome");
  }

  ov::test::MakeActivatedToken("Work VPN", ov::test::kEventPolicy);
  ov::test::MakeActivatedToken("Bank", ov::test::kTimePolicy);
  ov::test::MakeActivatedToken("Build server", ov::test::kPinPolicy, "1234");
  ov::test::MakeInstalledToken("Laptop");
  ov::test::MakeActivatedToken(
      "Mail", ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 10}}), "1234");
  OV_CreateInstanceA("Build server", 0);
  OV_ValidatePinA("0000");
  OV_ValidatePinA("0000");
  OV_ReleaseInstance();

  MainWindow window;
  window.start();
  window.show();
  Save(window, folder, "token-list");
  Choose(window, "Work VPN");
  Save(window, folder, "passcode-event");
  Post(window, WM_CONTINUE_MSG, Continue::kTokenInfo);
  Save(window, folder, "token-information");
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  Choose(window, "Bank");
  Save(window, folder, "passcode-time");
  Post(window, WM_CONTINUE_MSG, Continue::kDeleteConfirm);
  Save(window, folder, "delete-token");
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  Choose(window, "Laptop");
  Save(window, folder, "inactive-token");
  Post(window, WM_CONTINUE_MSG, Continue::kInactiveToken);
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  std::wstring code(OV_ACTIVATION_CODE_SIZE, L'\0');
  OV_CreateInstanceW(L"Laptop", 0);
  Shared().setTokenName(L"Laptop");
  OV_GenerateActivationCodeW(nullptr, code.data());
  Shared().g_szActivationCode.assign(std::wstring_view(code.c_str()));
  Post(window, WM_CONTINUE_MSG, Continue::kActivationCode);
  Save(window, folder, "activation-code");
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  Post(window, WM_CONTINUE_MSG, Continue::kApplicationInfo);
  Save(window, folder, "application-information");
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  Choose(window, "Build server");
  Save(window, folder, "pin-locked");
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  Choose(window, "Mail");
  for (QLineEdit* edit : window.findChildren<QLineEdit*>("edit")) {
    if (!edit->isVisible()) continue;
    edit->setText(QStringLiteral("9999"));
    QMetaObject::invokeMethod(edit, [edit] {
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QCoreApplication::sendEvent(edit, &enter);
    });
  }
  Save(window, folder, "pin-entry");

  // The enrollment screens of a new token.
  Post(window, WM_CANCEL_MSG, Cancel::kToTokenList);
  Post(window, WM_CONTINUE_MSG, Continue::kTokenName);
  Save(window, folder, "token-name");
  OV_CreateInstanceW(L"Kelsa Orvanti", 0);
  Shared().setTokenName(L"Kelsa Orvanti");
  Post(window, WM_CONTINUE_MSG, Continue::kEnrollmentMethod);
  Save(window, folder, "enrollment-choice");
  Shared().g_szEnrollmentUrl.assign(std::wstring_view(L"https://enroll.example.com/dskpp"));
  Post(window, WM_CONTINUE_MSG, Continue::kCredentials);
  Save(window, folder, "credentials");
  // The question that names the server before anything is sent to it.
  for (const char* name : {"firstEdit", "passwordEdit"}) {
    for (QLineEdit* edit : window.findChildren<QLineEdit*>(name)) {
      if (edit->isVisible()) edit->setText(QStringLiteral("dave"));
    }
  }
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>("continueButton")) {
    if (button->isVisible()) button->click();
  }
  Save(window, folder, "credentials-confirm");
  Shared().g_nSoftPinMinLength = 4;
  Shared().g_nSoftPinMaxLength = 8;
  Shared().g_nSoftPinComplexity = 1;
  Post(window, WM_CONTINUE_MSG, Continue::kSoftPin);
  Save(window, folder, "soft-pin");
  return 0;
}
