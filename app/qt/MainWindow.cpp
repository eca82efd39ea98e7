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
#include <optional>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/NavigationEvent.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
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

QSize WindowSize(const QSize& designed, const QSize& available) {
  return available.isEmpty() ? designed : designed.boundedTo(available);
}

namespace {

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

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent), m_router(*this, [this](int owner) { return makeScreen(owner); }) {
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
  m_title = new QLabel(Str(WindowState::kStrDefaultTitle), m_titleBar);
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
  make(Router::kSecondListPair, [listPair] { return listPair(QStringLiteral("tokenListPair2")); });
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

ScreenSlot* MainWindow::makeScreen(int owner) {
  auto factory = m_factories.find(owner);
  if (factory == m_factories.end()) return nullptr;
  RHGenericChildDialog* screen = factory->second();
  screen->setParent(m_placeholder);
  m_placeholder->layout()->addWidget(screen);
  return screen;
}

RHGenericChildDialog* MainWindow::screenFor(int code) {
  return static_cast<RHGenericChildDialog*>(m_router.screenFor(code));
}

RHGenericChildDialog* MainWindow::getActiveChildDlg() const {
  return static_cast<RHGenericChildDialog*>(m_router.activeScreen());
}

void MainWindow::setEnrollmentString(const QString& text) {
  m_router.setEnrollmentString(text.toStdString());
}

void MainWindow::handOver(const QString& enrollment) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  m_router.handOver(enrollment.toStdString());
}

void MainWindow::handEnrollmentString(std::string_view text) {
  QString enrollment = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  static_cast<PinOperationDialog*>(screenFor(C::kPortalUrl))->setURLEnrollmentString(enrollment);
  static_cast<TokenNameOperationDialog*>(screenFor(C::kTokenName))
      ->setAutoEnrollmentByURLMode(true);
  WipeQString(enrollment);
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == NavigationEvent::Type()) {
    auto* navigation = static_cast<NavigationEvent*>(event);
    m_router.onNavigation(navigation->message(), navigation->code());
    return true;
  }
  return QWidget::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  m_router.close();
}

void MainWindow::draw(const WindowState& state) {
  m_btnBack->setVisible(state.backVisible);
  m_btnBack->setText(Str(state.backText()));
  m_indicatorA->setVisible(state.indicatorA);
  m_indicatorB->setVisible(state.indicatorB);
  const QString shown = Str(state.title);
  m_title->setText(theme::ShortTitle(shown));
  m_title->setAccessibleName(shown);
  m_title->setToolTip(shown);
  update();
}

void MainWindow::focusBack() { m_btnBack->setFocus(); }

void MainWindow::showError(const Text& text) {
  MessageBoxes::Show(this, MessageBoxes::Kind::Error, Str(text), Str(205));
}

void MainWindow::exitApplication(int code) { emit exitRequested(code); }

void MainWindow::showAbout() {
  const QString text = Str(kStrAboutText) + QStringLiteral("\n\n") + Str(124) + QLatin1Char(' ') +
                       QStringLiteral(OV_APP_VERSION) + QLatin1Char('\n') + Str(123);
  MessageBoxes::Show(this, MessageBoxes::Kind::Information, text, Str(kStrAbout));
}

std::vector<QWidget*> MainWindow::keyboardCycle() const {
  std::vector<QWidget*> cycle;
  if (m_btnBack->isVisible() && m_btnBack->isEnabled()) cycle.push_back(m_btnBack);
  if (const RHGenericChildDialog* active = getActiveChildDlg()) {
    const std::vector<QWidget*> screen = active->focusCycle();
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
  std::optional<Router::Key> routed;
  switch (key->key()) {
    case Qt::Key_Escape:
      routed = Router::Key::Escape;
      break;
    case Qt::Key_Backspace:
      routed = Router::Key::Backspace;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      routed = Router::Key::Enter;
      break;
    case Qt::Key_F1:
      routed = Router::Key::F1;
      break;
    default:
      break;
  }
  if (routed && m_router.onKey(*routed, watched == m_menuButton)) return true;
  switch (key->key()) {
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
