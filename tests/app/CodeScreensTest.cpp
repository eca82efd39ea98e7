// The screens that show a code or ask before something is lost, through the real library: the
// activation code and the passcode (copying them, the clipboard note, no mouse selection, the
// passcode wiped when left), the question before an activation code becomes invalid, the
// confirmations of deactivating and deleting, and the inactive-token screen's keys and focus.
#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/qt/MainWindow.h"
#include "app/qt/MessageBoxes.h"
#include "app/core/Navigation.h"
#include "app/qt/SecretClipboard.h"
#include "app/qt/Strings.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;
using ov::test::Drain;

class CodeScreensTest : public QObject, protected ov::test::WindowDriver {
  Q_OBJECT

  QAbstractButton* button(const char* name) const { return visible<QAbstractButton>(name); }
  QAbstractButton* back() const { return window->findChild<QAbstractButton*>("backButton"); }
  QString code() const { return visible<QLabel>("code")->text(); }
  bool noteShown() const { return visible<QLabel>("clipboardNote") != nullptr; }
  void click(const char* name) {
    QAbstractButton* found = button(name);
    QVERIFY2(found != nullptr, name);
    found->click();
    Drain();
  }
  void typeAndEnter(const QString& text) {
    QLineEdit* edit = visible<QLineEdit>("edit");
    QVERIFY(edit != nullptr);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    Drain();
  }
  void pressCopyKeys() {
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keySequence(window.get(), QKeySequence::Copy);
  }
  // "Fresh" through the manual enrollment, as a user goes, up to its activation code (a policy
  // with a PIN, so the token waits for it).
  void showActivationCode() {
    ov::test::MakeInstalledToken("Fresh");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Fresh");
    QCOMPARE(window->activeScreenCode(), Continue::kInactiveToken);
    click("mainButton");
    click("manualButton");
    typeAndEnter(QString::fromStdString(ov::test::kPinPolicy));
    QCOMPARE(window->activeScreenCode(), Continue::kActivationCode);
    QCOMPARE(ov::test::OpenTokenState(), int32_t{PENDING_PIN_STATE});
  }
  int32_t freshState() {
    OV_ReleaseInstance();
    if (OV_CreateInstanceW(L"Fresh", 0) != OV_OK) return 0;
    return ov::test::OpenTokenState();
  }

 private slots:
  void init() {
    begin();
    QCOMPARE(env->initialized, OV_OK);
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() { end(); }

  // Whatever would void an activation code the user was shown asks first; No keeps the token
  // and the code, Yes resets the token.
  void voidingAnActivationCodeAsksFirst_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("kept");   // the screen a No leaves the user on
    QTest::addColumn<int>("after");  // the screen a Yes leads to
    for (const bool yes : {true, false}) {
      const char* answer = yes ? ", Yes" : ", No";
      QTest::addRow("Back from the code%s", answer)
          << "back" << yes << Continue::kActivationCode << Continue::kPolicyString;
      QTest::addRow("Cancel on the code%s", answer)
          << "cancel" << yes << Continue::kActivationCode << Continue::kEnrollmentMethod;
      QTest::addRow("Cancel on setting the PIN%s", answer)
          << "set PIN" << yes << Continue::kSetPin << Continue::kTokenList;
      QTest::addRow("Esc on setting the PIN%s", answer)
          << "escape" << yes << Continue::kSetPin << Continue::kTokenList;
      QTest::addRow("an enrollment string handed over%s", answer)
          << "hand over" << yes << Continue::kActivationCode << Continue::kTokenName;
    }
  }
  void voidingAnActivationCodeAsksFirst() {
    QFETCH(QString, way);
    QFETCH(bool, yes);
    QFETCH(int, kept);
    QFETCH(int, after);
    showActivationCode();
    const QString shown = code();
    if (way == "set PIN" || way == "escape") {
      click("continueButton");
      QCOMPARE(window->activeScreenCode(), Continue::kSetPin);
    }
    MessageBoxes::SetAnswer(yes);
    env->boxes.clear();
    if (way == "back") {
      back()->click();
    } else if (way == "escape") {
      QTest::keyClick(visible<QLineEdit>("edit"), Qt::Key_Escape);
    } else if (way == "hand over") {
      // What a second start or a link opened while the window runs hands to it.
      window->handOver(QString::fromLatin1(
          QByteArray("EnrollmentURL=https://enroll.example.com/dskpp").toBase64()));
    } else {
      button("cancelButton")->click();
    }
    Drain();
    QCOMPARE(env->boxes, QStringList{Str(kStrActivationCodeVoided)});
    QCOMPARE(window->activeScreenCode(), yes ? after : kept);
    if (!yes && kept == Continue::kActivationCode) QCOMPARE(code(), shown);
    QCOMPARE(freshState(), int32_t{yes ? INSTALLED_STATE : PENDING_PIN_STATE});
  }

  // A token waiting for its PIN whose code was not shown in this session: Cancel resets it
  // without a question (nothing shown here becomes invalid).
  void cancellingThePinOfATokenWithoutAShownCodeAsksNothing() {
    ov::test::MakeActivatedToken("Fresh", ov::test::kPinPolicy);  // no PIN yet
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Fresh");
    click("mainButton");
    QCOMPARE(window->activeScreenCode(), Continue::kSetPin);
    click("cancelButton");
    QVERIFY(env->boxes.isEmpty());
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QCOMPARE(freshState(), int32_t{INSTALLED_STATE});
  }

  // The activation code is copied as the passcode is: marked secret, with its note, and off the
  // clipboard after 30 seconds or once the screen is left.
  void activationCodeCopy_data() {
    QTest::addColumn<bool>("keys");
    QTest::addColumn<bool>("leave");
    QTest::newRow("Copy, then 30 seconds") << false << false;
    QTest::newRow("Ctrl+C, then Continue") << true << true;
  }
  void activationCodeCopy() {
    QFETCH(bool, keys);
    QFETCH(bool, leave);
    showActivationCode();
    QClipboard* clipboard = QGuiApplication::clipboard();
    QAbstractButton* copy = button("copyButton");
    QVERIFY(copy != nullptr);
    QCOMPARE(copy->text(), Str(kStrCopy));
    if (keys) {
      pressCopyKeys();
    } else {
      copy->click();
    }
    QCOMPARE(clipboard->text(), code());
    QCOMPARE(clipboard->mimeData()->data("x-kde-passwordManagerHint"), QByteArray("secret"));
    QLabel* note = visible<QLabel>("clipboardNote");
    QVERIFY(note != nullptr);
    QCOMPARE(note->text(), Str(kStrActivationCodeCopied));
    QCOMPARE(note->accessibleName(), note->text());
    QCOMPARE(visible<QLabel>("hint")->text(), Str(183));  // the instructions stay
    QTimer* delay = SecretClipboard::Instance().timer();
    QCOMPARE(delay->interval(), 30000);
    if (leave) {
      click("continueButton");
      QCOMPARE(window->activeScreenCode(), Continue::kSetPin);
    } else {
      delay->start(1);
      QTRY_VERIFY(!noteShown());
    }
    QCOMPARE(clipboard->text(), QString());
  }

  // Neither code can be selected with the mouse (that puts it on the primary selection, where
  // nothing clears it); Copy and Ctrl+C are the way.
  void codesAreNotSelectableWithTheMouse_data() {
    QTest::addColumn<bool>("passcode");
    QTest::newRow("activation code") << false;
    QTest::newRow("passcode") << true;
  }
  void codesAreNotSelectableWithTheMouse() {
    QFETCH(bool, passcode);
    if (passcode) {
      ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
      ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
      openWindow();
      choose("Event");
    } else {
      showActivationCode();
    }
    QLabel* label = visible<QLabel>("code");
    QTest::mouseDClick(label, Qt::LeftButton, {}, label->rect().center());
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(1, label->height() / 2));
    QTest::mouseMove(label, QPoint(label->width() - 1, label->height() / 2));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(label->width() - 1, label->height() / 2));
    QVERIFY(!label->hasSelectedText());
    QCOMPARE(label->textInteractionFlags(), Qt::NoTextInteraction);
    QCOMPARE(label->accessibleName(), label->text());  // still read out
  }

  // The note that the passcode is on the clipboard goes when the passcode does, whatever took it
  // away.
  void passcodeNoteGoesWithTheClipboard_data() {
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("after 30 seconds") << "delay" << true;
    QTest::newRow("someone else's copy") << "other" << false;
    QTest::newRow("a new passcode") << "next" << true;
  }
  void passcodeNoteGoesWithTheClipboard() {
    QFETCH(QString, ending);
    QFETCH(bool, cleared);
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Event");
    QClipboard* clipboard = QGuiApplication::clipboard();
    click("copyButton");
    QCOMPARE(clipboard->text(), code());
    QVERIFY(noteShown());
    QCOMPARE(visible<QLabel>("clipboardNote")->text(), Str(kStrCopied));
    if (ending == "delay") SecretClipboard::Instance().timer()->start(1);
    if (ending == "other") clipboard->setText("my own text");
    if (ending == "next") {
      window->getActiveChildDlg()->findChild<QTimer*>("timer222")->start(1);
      QTRY_VERIFY(button("continueButton")->isEnabled());
      click("continueButton");
    }
    QTRY_VERIFY(!noteShown());
    QVERIFY(!SecretClipboard::Instance().holdsSecret());
    QCOMPARE(clipboard->text(), cleared ? QString() : QStringLiteral("my own text"));
  }

  // The passcode is held by its screen alone and wiped when the screen is left.
  void passcodeIsWipedWhenItsScreenIsLeft() {
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Event");
    QLabel* label = visible<QLabel>("code");
    QCOMPARE(label->text().size(), 8);
    back()->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QVERIFY(Shared().g_szPasscode.empty());
    QVERIFY(label->text().isEmpty());
    QVERIFY(label->accessibleName().isEmpty());
  }

  // One Enter on a confirmation does not deactivate or delete: the focus starts on Cancel.
  void confirmationsStartOnCancel_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("deactivate") << "deactivateButton";
    QTest::newRow("delete") << "deleteButton";
  }
  void confirmationsStartOnCancel() {
    QFETCH(QString, button);
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Event");
    click(qPrintable(button));
    QWidget* cancel = this->button("cancelButton");
    QCOMPARE(window->focusWidget(), cancel);
    QTest::keyClick(window->focusWidget(), Qt::Key_Return);
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(ov::test::OpenTokenState(), int32_t{ACTIVATED_STATE});
  }

  // Esc on the inactive-token screen is its Cancel: back to the list.
  void escapeOnTheInactiveTokenIsCancel() {
    ov::test::MakeInstalledToken("Fresh");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Fresh");
    QCOMPARE(window->activeScreenCode(), Continue::kInactiveToken);
    QTest::keyClick(window->focusWidget(), Qt::Key_Escape);
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QVERIFY(exits.isEmpty());
  }

  // Beside a token's passcode, the side bar's information button takes the focus when nothing on
  // the passcode side can (a time-based passcode has no button), also when the pair is shown
  // again.
  void sideBarTakesTheFocusOnItsInformationButton() {
    ov::test::MakeActivatedToken("Time", ov::test::kTimePolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Time");
    QWidget* info = button("infoButton");
    QTRY_COMPARE(window->focusWidget(), info);
    click("infoButton");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenInfo);
    back()->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(window->focusWidget(), info);
  }
};

OV_APP_TEST_MAIN(CodeScreensTest)
#include "CodeScreensTest.moc"
