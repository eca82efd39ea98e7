#include "app/qt/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "app/core/AppLog.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/NavigationEvent.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/screens/ActivationCodeDialog.h"
#include "app/qt/screens/AutoEnrollmentCredentials.h"
#include "app/qt/screens/BlackPortionDialog.h"
#include "app/qt/screens/EnrollmentDialog.h"
#include "app/qt/screens/PinOperationDialog.h"
#include "app/qt/screens/TokenInformation.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/screens/TokenNameOperationDialog.h"
#include "app/qt/screens/WelcomeMessageDialog.h"
#include "app/qt/widgets/ButtonST.h"
#include "app/qt/widgets/DualDialogWrapper.h"

namespace ov::app {

namespace C = Continue;
namespace D = DialogType;

QSize WindowSize(const QSize& designed, const QSize& available) {
  return available.isEmpty() ? designed : designed.boundedTo(available);
}

namespace {

template <typename T>
const T* Find(const std::vector<T>& table, int code) {
  auto found =
      std::find_if(table.begin(), table.end(), [code](const T& r) { return r.code == code; });
  return found == table.end() ? nullptr : &*found;
}

QPixmap SvgPixmap(const QString& resource, int side, qreal ratio) {
  QPixmap pixmap(QSize(side, side) * ratio);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), m_strDefaultTitle(Str(178)) {
  AppLog log("COrvantiDlg::OnInitDialog");
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(Str(178));
  setWindowIcon(QIcon(QStringLiteral(":/icons/app-icon.svg")));
  QPalette colours = palette();
  colours.setColor(QPalette::Window, theme::kScreenBackground);
  setPalette(colours);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_titleBar = new QWidget(this);
  m_titleBar->setObjectName(QStringLiteral("titleBar"));
  m_titleBar->setFixedHeight(theme::DluY(30));
  auto* bar = new QHBoxLayout(m_titleBar);
  bar->setContentsMargins(theme::DluX(5), theme::DluY(4), theme::DluX(5), theme::DluY(4));
  m_btnBack = new ButtonST(QStringLiteral("backButton"), ButtonST::Look::Title, m_titleBar);
  m_btnBack->setText(Str(181));
  QSizePolicy keep = m_btnBack->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  m_btnBack->setSizePolicy(keep);
  m_title = new QLabel(m_strDefaultTitle, m_titleBar);
  m_title->setObjectName(QStringLiteral("titleLabel"));
  m_title->setTextFormat(Qt::PlainText);  // a token's name is never markup
  m_title->setFont(theme::Helvetica(16, true));
  theme::SetTextColour(m_title, theme::kWhite);
  m_title->setAlignment(Qt::AlignCenter);
  const int indicatorSide = theme::DluY(12);
  auto makeIndicator = [&](const char* name, const char* icon, const QString& accessible) {
    auto* label = new QLabel(m_titleBar);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(SvgPixmap(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon)),
                               indicatorSide, devicePixelRatioF()));
    label->setFixedSize(indicatorSide, indicatorSide);
    label->setAccessibleName(accessible);
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->hide();
    return label;
  };
  m_indicatorA = makeIndicator("indicatorA", "indicator-a", Str(129));
  m_indicatorB = makeIndicator("indicatorB", "indicator-b", Str(180));
  m_menuButton = new ButtonST(QStringLiteral("menuButton"), ButtonST::Look::Title, m_titleBar);
  m_menuButton->setText(QStringLiteral("\u22EE"));
  m_menuButton->setToolTip(Str(kStrMenu));
  m_menuButton->setAccessibleName(Str(kStrMenu));
  m_menuButton->setFixedWidth(theme::DluX(14));
  bar->addWidget(m_btnBack);
  bar->addWidget(m_title, 1);
  bar->addWidget(m_indicatorA);
  bar->addWidget(m_indicatorB);
  bar->addWidget(m_menuButton);
  layout->addWidget(m_titleBar);

  m_placeholder = new QWidget(this);
  m_placeholder->setObjectName(QStringLiteral("placeholder"));
  auto* area = new QVBoxLayout(m_placeholder);
  area->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_placeholder, 1);
  const QSize size = WindowSize(theme::Dlu(210, 250), screen()->availableGeometry().size());
  setMinimumSize(size);
  resize(size);

  // Quit ends the application as closing the window does; its key works on every screen.
  m_quit = new QAction(Str(kStrQuit), this);
  m_quit->setObjectName(QStringLiteral("quitAction"));
  m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  m_quit->setShortcutContext(Qt::WindowShortcut);
  addAction(m_quit);
  connect(m_quit, &QAction::triggered, this, &QWidget::close);

  connect(m_btnBack, &QPushButton::clicked, this, &MainWindow::OnBnClickedBackBtn);
  connect(m_menuButton, &QPushButton::clicked, this, [this] {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("windowMenu"));
    menu.addAction(Str(kStrAbout), this, &MainWindow::showAbout);
    menu.addSeparator();
    menu.addAction(m_quit);
    menu.exec(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())));
  });
  m_btnBack->hide();
  buildScreens();
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() { qApp->removeEventFilter(this); }

// Screens are made the first time their code comes, so a start builds only what it shows.
void MainWindow::buildScreens() {
  auto* self = this;
  auto listPair = [self](const QString& name) -> RHGenericChildDialog* {
    return new DualDialogWrapper(self, name, new TokenListDialog(self, name + "List"),
                                 new BlackPortionDialog(self, name + "SideBar"));
  };
  auto make = [this](int code, std::function<RHGenericChildDialog*()> factory) {
    m_factories[code] = std::move(factory);
  };
  make(C::kWelcome, [self] { return new WelcomeMessageDialog(self, QStringLiteral("welcome")); });
  make(C::kEnrollmentMethod,
       [self] { return new EnrollmentDialog(self, QStringLiteral("enrollmentMethod")); });
  make(C::kActivationCode,
       [self] { return new ActivationCodeDialog(self, QStringLiteral("activationCode")); });
  make(C::kTokenList, [listPair] { return listPair(QStringLiteral("tokenListPair")); });
  make(kSecondListPair, [listPair] { return listPair(QStringLiteral("tokenListPair2")); });
  make(C::kPasscode, [self] {
    return new DualDialogWrapper(self, QStringLiteral("passcodePair"),
                                 new ActivationCodeDialog(self, QStringLiteral("passcode")),
                                 new BlackPortionDialog(self, QStringLiteral("passcodeSideBar")));
  });
  make(C::kInactiveToken, [self] {
    return new DualDialogWrapper(self, QStringLiteral("inactivePair"),
                                 new WelcomeMessageDialog(self, QStringLiteral("inactiveNotice")),
                                 new BlackPortionDialog(self, QStringLiteral("inactiveSideBar")));
  });
  const std::pair<int, const char*> informationScreens[] = {
      {C::kApplicationInfo, "applicationInfo"},
      {C::kTokenInfo, "tokenInfo"},
      {C::kInactiveTokenInfo, "inactiveTokenInfo"}};
  for (const auto& [code, name] : informationScreens) {
    make(code,
         [self, name = name] { return new TokenInformation(self, QString::fromLatin1(name)); });
  }
  const std::pair<int, const char*> messageScreens[] = {
      {C::kRenamed, "renamedMessage"},
      {C::kDeactivateConfirm, "deactivateConfirm"},
      {C::kDeleteConfirm, "deleteConfirm"},
      {C::kPinChanged, "pinChangedMessage"}};
  for (const auto& [code, name] : messageScreens) {
    make(code,
         [self, name = name] { return new WelcomeMessageDialog(self, QString::fromLatin1(name)); });
  }
  const std::pair<int, const char*> pinScreens[] = {
      {C::kPolicyString, "policyString"},   {C::kSetPin, "setPin"},
      {C::kConfirmSetPin, "confirmSetPin"}, {C::kPortalUrl, "portalUrl"},
      {C::kChangePinCurrent, "currentPin"}, {C::kRenamePin, "newTokenName"},
      {C::kChangePinNew, "newPin"},         {C::kChangePinConfirm, "confirmNewPin"},
      {C::kChallenge, "challenge"},         {C::kTokenPin, "tokenPin"},
  };
  for (const auto& [code, name] : pinScreens) {
    make(code,
         [self, name = name] { return new PinOperationDialog(self, QString::fromLatin1(name)); });
  }
  make(C::kTokenName,
       [self] { return new TokenNameOperationDialog(self, QStringLiteral("tokenName")); });
  const std::pair<int, const char*> credentialScreens[] = {{C::kCredentials, "credentials"},
                                                           {C::kSoftPin, "softPin"},
                                                           {C::kSoftPinConfirm, "softPinConfirm"}};
  for (const auto& [code, name] : credentialScreens) {
    make(code, [self, name = name] {
      return new AutoEnrollmentCredentials(self, QString::fromLatin1(name));
    });
  }
}

RHGenericChildDialog* MainWindow::screenObject(int owner) {
  auto found = m_screens.find(owner);
  if (found != m_screens.end()) return found->second;
  auto factory = m_factories.find(owner);
  if (factory == m_factories.end()) return nullptr;
  RHGenericChildDialog* screen = factory->second();
  screen->setParent(m_placeholder);
  m_placeholder->layout()->addWidget(screen);
  m_screens.emplace(owner, screen);
  return screen;
}

RHGenericChildDialog* MainWindow::screenFor(int code) {
  const ContinueRoute* route = Find(ContinueRoutes(), code);
  return route == nullptr ? nullptr : screenObject(route->screen);
}

int MainWindow::activeScreenCode() const {
  if (m_pActiveChildDlg == nullptr) return 0;
  for (const auto& [code, screen] : m_screens) {
    if (screen == m_pActiveChildDlg) return code == kSecondListPair ? C::kTokenList : code;
  }
  return 0;
}

bool MainWindow::isScreen(int code) const {
  return m_pActiveChildDlg != nullptr && activeScreenCode() == code;
}

bool MainWindow::IsPasscodeDlgActive() const { return isScreen(C::kPasscode); }
bool MainWindow::IsInactiveTokenDlgActive() const { return isScreen(C::kInactiveToken); }

void MainWindow::start() {
  AppLog log("COrvantiDlg::start");
  const int32_t count = CountTokens();
  log.Number("count", count);
  if (!m_strEnrollmentString.isEmpty() && screenFor(C::kTokenName) != nullptr &&
      screenFor(C::kPortalUrl) != nullptr) {
    static_cast<PinOperationDialog*>(screenFor(C::kPortalUrl))
        ->setURLEnrollmentString(m_strEnrollmentString);
    static_cast<TokenNameOperationDialog*>(screenFor(C::kTokenName))
        ->setAutoEnrollmentByURLMode(true);
    WipeQString(m_strEnrollmentString);
    CallChildDialog(C::kTokenName);
    return;
  }
  m_strEnrollmentString.clear();
  if (count <= 0) {
    CallChildDialog(C::kWelcome);
  } else if (count == 1) {
    TokenList tokens;
    if (tokens.ok() && tokens.size() == 1) {
      SingleTokenFlow(tokens[0]);
    } else {
      CallChildDialog(C::kTokenList);
    }
  } else {
    CallChildDialog(C::kTokenList);
  }
}

void MainWindow::handOver(const QString& enrollment) {
  AppLog log("COrvantiDlg::HandOver");
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (enrollment.isEmpty() || m_finished) return;
  if (m_pActiveChildDlg != nullptr && m_pActiveChildDlg->isBusy()) {
    log.Message("Enrollment under way: the string is not taken");
    return;
  }
  // An activation code on the screen is given up only as Back gives it up: after asking.
  if (m_pActiveChildDlg != nullptr && !m_pActiveChildDlg->confirmBack()) {
    log.Message("The activation code shown is kept: the string is not taken");
    return;
  }
  destroyWholeStack();
  OV_ReleaseInstance();
  Shared().setTokenName(std::wstring());
  m_indicatorA->hide();
  m_indicatorB->hide();
  m_strEnrollmentString = enrollment;
  start();
}

void MainWindow::SingleTokenFlow(const OVTokenInfoW& record) {
  AppLog log("COrvantiDlg::SingleTokenFlow");
  const std::wstring name = record.m_szTokenName != nullptr ? record.m_szTokenName : L"";
  Shared().setTokenName(name);
  showTokenTitle();
  const int32_t opened = OV_CreateInstanceW(name.c_str(), 0);
  if (opened != OV_OK) {
    log.Message("OV_CreateInstanceW failed");
    log.Number("result", opened);
    MessageBoxes::ShowString(this, 213);
    returnToTokenList();
    return;
  }
  // Where this build has no screen for the next step, the list stays the way in.
  auto showOrList = [this](int code) {
    if (screenFor(code) != nullptr) {
      CallChildDialog(code);
    } else {
      returnToTokenList();
    }
  };
  if (record.m_nTokenState == ACTIVATED_STATE) {
    if (record.m_bPinRequired) {
      showOrList(C::kTokenPin);
      OnTitleIndicatorMsg(Indicator::kShowA);
    } else if (!ModeIs(record, OV_MODE_TEXT_CHALLENGE_RESPONSE)) {
      const int generated = screenFor(C::kPasscode)->GenerateOTP(nullptr, nullptr);
      if (generated == 0) {
        CallChildDialog(C::kPasscode);
        OnTitleIndicatorMsg(Indicator::kHideA);
      } else if (generated == kStrMultiHost) {
        returnToTokenList();
      }
    } else {
      showOrList(C::kChallenge);
      OnTitleIndicatorMsg(Indicator::kShowA);
    }
  } else {
    CallChildDialog(C::kInactiveToken);
    OnTitleIndicatorMsg(Indicator::kShowA);
  }
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == NavigationEvent::Type()) {
    auto* navigation = static_cast<NavigationEvent*>(event);
    if (m_finished) return true;
    switch (navigation->message()) {
      case WM_CONTINUE_MSG:
        OnContinueMsg(navigation->code());
        break;
      case WM_TITLE_INDICATOR_MSG:
        OnTitleIndicatorMsg(navigation->code());
        break;
      case WM_CANCEL_MSG:
        OnCancelMsg(navigation->code());
        break;
      default:
        break;
    }
    return true;
  }
  return QWidget::event(event);
}

void MainWindow::OnContinueMsg(int code) {
  AppLog log("COrvantiDlg::OnContinueMsg");
  log.Number("code", code);
  if (screenFor(code) == nullptr) {
    log.Message("No screen for the code");
    return;
  }
  if (m_pActiveChildDlg != nullptr) {
    m_pActiveChildDlg->ShowChildDialog(false);
    childObjs.push_back(m_pActiveChildDlg);
  }
  CallChildDialog(code);
}

void MainWindow::CallChildDialog(int code) {
  AppLog log("COrvantiDlg::CallChildDialog");
  log.Number("code", code);
  const ContinueRoute* route = Find(ContinueRoutes(), code);
  RHGenericChildDialog* screen = screenFor(code);
  if (route == nullptr || screen == nullptr) return;
  setBackListMode(false);
  setBackVisible(true);
  showTokenTitle();
  if (route->effects & kStackCleared) {
    popAndShowActivewindow(static_cast<int>(childObjs.size()), false, true);
  }
  if (auto* pair = dynamic_cast<DualDialogWrapper*>(screen)) {
    pair->first()->m_DialogType = route->dialogType;
    pair->second()->m_DialogType = route->sideBar;
  }
  screen->m_DialogType = route->dialogType;
  screen->CRHCreateGenericChildDialog(m_placeholder, true);
  setActiveChildDlg(screen);
  if (route->effects & kBackHidden) setBackVisible(false);
  if (route->effects & kDefaultTitle) setTitle(m_strDefaultTitle);
  if (route->effects & kBackListMode) {
    setBackVisible(true);
    setBackListMode(true);
  }
  if (route->effects & kHideIndicatorA) m_indicatorA->hide();
  if (route->effects & (kFocusList | kFocusPin)) {
    if (QWidget* focus = screen->initialFocus()) focus->setFocus();
  }
  if (route->effects & kFocusBack) m_btnBack->setFocus();
}

void MainWindow::popAndShowActivewindow(int nCount, bool showWindow, bool destroyLastPopped) {
  AppLog log("COrvantiDlg::popAndShowActivewindow");
  log.Number("nCount", nCount);
  RHGenericChildDialog* current = m_pActiveChildDlg;
  bool remains = false;
  for (int i = 0; i < nCount; ++i) {
    if (current != nullptr) current->DestroyChildDialog();
    remains = false;
    if (!childObjs.empty()) {
      current = childObjs.back();
      childObjs.pop_back();
      remains = current != nullptr;
      if (current == nullptr) log.Message("childDialog is NULL");
    }
  }
  if (nCount == 0) remains = current != nullptr;
  if (childObjs.empty()) setBackVisible(false);
  if (showWindow) {
    if (remains) {
      current->ShowChildDialog(true);
      setActiveChildDlg(current);
    } else {
      m_pActiveChildDlg = nullptr;
      CallChildDialog(CountTokens() > 0 ? C::kTokenList : C::kWelcome);
    }
    const int active = activeScreenCode();
    if (active == C::kEnrollmentMethod || active == C::kPasscode || active == C::kInactiveToken) {
      setBackVisible(true);
      setBackListMode(true);
      m_indicatorA->hide();
    } else if (active == C::kTokenList) {
      setTitle(m_strDefaultTitle);
      m_indicatorA->hide();
    }
    update();
  } else if (destroyLastPopped) {
    if (current != nullptr) current->DestroyChildDialog();
    m_pActiveChildDlg = nullptr;
  } else {
    setActiveChildDlg(remains ? current : nullptr);
  }
}

void MainWindow::destroyWholeStack() {
  for (RHGenericChildDialog* screen : childObjs) {
    if (screen != nullptr) screen->DestroyChildDialog();
  }
  childObjs.clear();
  if (m_pActiveChildDlg != nullptr) m_pActiveChildDlg->DestroyChildDialog();
  m_pActiveChildDlg = nullptr;
}

void MainWindow::returnToTokenList() {
  AppLog log("COrvantiDlg::ReturnToTokenList");
  auto* first = static_cast<DualDialogWrapper*>(screenObject(C::kTokenList));
  DualDialogWrapper* pair =
      first->isCreated() ? static_cast<DualDialogWrapper*>(screenObject(kSecondListPair)) : first;
  m_title->hide();
  destroyWholeStack();
  pair->first()->m_DialogType = 0;
  pair->second()->m_DialogType = D::SIDEBAR_LIST;
  setTitle(m_strDefaultTitle);
  pair->CRHCreateGenericChildDialog(m_placeholder, true);
  setActiveChildDlg(pair);
  m_title->show();
  setBackListMode(false);
  setBackVisible(false);
  m_indicatorA->hide();
  m_indicatorB->hide();
  if (QWidget* focus = pair->initialFocus()) focus->setFocus();
  update();
}

void MainWindow::OnCancelMsg(int code) {
  AppLog log("COrvantiDlg::OnCancelMsg");
  log.Number("code", code);
  const CancelRoute* route = Find(CancelRoutes(), code);
  if (route == nullptr) return;
  switch (route->action) {
    case CancelAction::PopAndShow:
      popAndShowActivewindow(route->count, true, false);
      break;
    case CancelAction::EnrollmentMethod:
      OnContinueMsg(C::kEnrollmentMethod);
      break;
    case CancelAction::PopShowPinMismatch:
    case CancelAction::PopShowPinRefused:
    case CancelAction::PopShowSoftPinReset:
    case CancelAction::PopShowReset:
      popAndShowActivewindow(route->count, false, false);
      if (m_pActiveChildDlg != nullptr) {
        m_pActiveChildDlg->ShowChildDialog(true);
        if (route->action == CancelAction::PopShowPinRefused) {
          m_pActiveChildDlg->showInvalidPINError();
        } else if (route->action == CancelAction::PopShowReset) {
          m_pActiveChildDlg->ResetForReentry();
        } else {
          m_pActiveChildDlg->showErrorMessage();
        }
      }
      break;
    case CancelAction::Exit:
      finish(0, false);
      return;
    case CancelAction::ReturnToList:
      returnToTokenList();
      break;
    case CancelAction::ClearToWelcome:
      destroyWholeStack();
      setTitle(m_strDefaultTitle);
      CallChildDialog(C::kWelcome);
      break;
    case CancelAction::Abort:
      AbortApplication();
      return;
    case CancelAction::ExitOnSingleToken:
      ExitOnSingleToken();
      return;
  }
  if (route->back == 1) setBackVisible(true);
  if (route->back == 0) setBackVisible(false);
}

void MainWindow::OnTitleIndicatorMsg(int code) {
  switch (code) {
    case Indicator::kHideBack:
      setBackVisible(false);
      break;
    case Indicator::kHideA:
      m_indicatorA->hide();
      break;
    case Indicator::kShowA:
      m_indicatorA->show();
      break;
    case Indicator::kShowAB:
      m_indicatorA->show();
      m_indicatorB->show();
      break;
    case Indicator::kHideB:
      m_indicatorB->hide();
      break;
    case Indicator::kShowB:
      m_indicatorB->show();
      break;
    default:
      break;
  }
}

void MainWindow::OnBnClickedBackBtn() {
  AppLog log("COrvantiDlg::OnBnClickedBackBtn");
  if (m_finished || m_pActiveChildDlg == nullptr || !m_btnBack->isVisible()) return;
  // Nothing is left while work on another thread still reads what this screen handed it.
  if (m_pActiveChildDlg->isBusy()) return;
  // The screen undoes what leaving it undoes, or keeps the user (an activation code in use).
  if (!m_pActiveChildDlg->confirmBack()) return;
  const int active = activeScreenCode();
  // Indicator B marks information on screen; it goes with whichever information screen is left.
  if (active == C::kApplicationInfo || active == C::kTokenInfo || active == C::kInactiveTokenInfo) {
    m_indicatorB->hide();
  }
  SharedValues& shared = Shared();
  BackSituation situation;
  situation.listMode = m_bBackListMode;
  situation.activeScreen = active;
  situation.pinFailureShown = shared.g_bPinFailureShown;
  situation.deactivationShown = shared.g_bDeactivationShown;
  situation.changePinRequired = shared.g_bChangePinRequired;
  switch (DecideBack(situation)) {
    case BackStep::PopTwo:
      OnCancelMsg(Cancel::kBackTwo);
      break;
    case BackStep::ToList:
      OnCancelMsg(Cancel::kToTokenList);
      m_indicatorA->hide();
      break;
    case BackStep::PopOne:
      popAndShowActivewindow(1, true, false);
      CleanMessagesPostBackClick();
      break;
  }
}

void MainWindow::CleanMessagesPostBackClick() {
  static constexpr int kScreensWithMessages[] = {C::kPolicyString,  C::kSetPin,      C::kPortalUrl,
                                                 C::kChangePinNew,  C::kCredentials, C::kSoftPin,
                                                 C::kSoftPinConfirm};
  const int active = activeScreenCode();
  if (std::find(std::begin(kScreensWithMessages), std::end(kScreensWithMessages), active) !=
      std::end(kScreensWithMessages)) {
    m_pActiveChildDlg->ClearMessageLine();
  }
}

void MainWindow::AbortApplication() { finish(1, true); }

void MainWindow::ExitOnSingleToken() { finish(0, false); }

void MainWindow::finish(int exitCode, bool showError) {
  if (m_finished) return;
  AppLog log("COrvantiDlg::Exit");
  m_finished = true;
  Shared().destroyInternalData();
  destroyWholeStack();
  if (showError) MessageBoxes::ShowString(this, 213);
  log.Message("EXITING_CLIENT_APPLICATION");
  log.Number("exitCode", exitCode);
  emit exitRequested(exitCode);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  AppLog log("COrvantiDlg::OnClose");
  // An enrollment under way is not waited for: leaving its screen abandons it.
  event->accept();
  finish(0, false);
}

void MainWindow::setActiveChildDlg(RHGenericChildDialog* screen) { m_pActiveChildDlg = screen; }

void MainWindow::setBackVisible(bool visible) { m_btnBack->setVisible(visible); }

void MainWindow::setBackListMode(bool listMode) {
  m_bBackListMode = listMode;
  m_btnBack->setText(Str(listMode ? 182 : 181));
}

void MainWindow::setTitle(const QString& title) {
  const QString shown = DisplayName(title);
  m_title->setText(theme::ShortTitle(shown));
  m_title->setAccessibleName(shown);
  m_title->setToolTip(shown);
}

void MainWindow::showTokenTitle() {
  const QString name = ToQString(Shared().g_szTokenName);
  setTitle(name.isEmpty() ? m_strDefaultTitle : name);
}

void MainWindow::showAbout() {
  const QString text = Str(kStrAboutText) + QStringLiteral("\n\n") + Str(124) + QLatin1Char(' ') +
                       QStringLiteral(OV_APP_VERSION) + QLatin1Char('\n') + Str(123);
  MessageBoxes::Show(this, MessageBoxes::Kind::Information, text, Str(kStrAbout));
}

std::vector<QWidget*> MainWindow::keyboardCycle() const {
  std::vector<QWidget*> cycle;
  if (m_btnBack->isVisible() && m_btnBack->isEnabled()) cycle.push_back(m_btnBack);
  if (m_pActiveChildDlg != nullptr) {
    const std::vector<QWidget*> screen = m_pActiveChildDlg->focusCycle();
    cycle.insert(cycle.end(), screen.begin(), screen.end());
  }
  cycle.push_back(m_menuButton);
  return cycle;
}

void MainWindow::moveFocus(bool forward) {
  const std::vector<QWidget*> cycle = keyboardCycle();
  if (cycle.empty()) return;
  QWidget* focused = QApplication::focusWidget();
  auto at = std::find(cycle.begin(), cycle.end(), focused);
  std::size_t index = 0;
  if (at != cycle.end()) {
    const auto position = static_cast<std::size_t>(at - cycle.begin());
    index = forward ? (position + 1) % cycle.size() : (position + cycle.size() - 1) % cycle.size();
  } else if (!forward) {
    index = cycle.size() - 1;
  }
  cycle[index]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool MainWindow::focusNextPrevChild(bool next) {
  moveFocus(next);
  return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
      static_cast<QWidget*>(watched)->window() != this) {
    return QWidget::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  const int active = activeScreenCode();
  const bool onInformation =
      active == C::kApplicationInfo || active == C::kTokenInfo || active == C::kInactiveTokenInfo;
  switch (key->key()) {
    case Qt::Key_Escape:
      // Escape never closes the window: it is Back where Back is the way out, else the screen's
      // own Cancel, else nothing.
      if (onInformation || active == C::kPasscode) {
        OnBnClickedBackBtn();
      } else if (m_pActiveChildDlg != nullptr) {
        m_pActiveChildDlg->onEscape();
      }
      return true;
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (onInformation && watched != m_menuButton) {
        OnBnClickedBackBtn();
        return true;
      }
      break;
    case Qt::Key_F1:
      return true;  // no help pages
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
      // Arrows move between buttons; in an edit box or the list they keep their own meaning.
      if (qobject_cast<QAbstractButton*>(watched) != nullptr) {
        moveFocus(key->key() == Qt::Key_Down || key->key() == Qt::Key_Right);
        return true;
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), theme::kScreenBackground);
  static QSvgRenderer band(QStringLiteral(":/icons/background.svg"));
  band.render(&painter, QRectF(m_titleBar->geometry()));
}

}  // namespace ov::app
