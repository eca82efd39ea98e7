// The base of every screen's view. A screen is a widget that the main window creates over its
// placeholder area, shows, hides and destroys; the object itself lives as long as the main window,
// and its contents are set up again (OnInitDialog) each time it is created.
//
// Each view owns the screen's model (app/core), which decides; the view draws the model's state,
// forwards the user's input and carries out the model's effects: a navigation message becomes a
// posted NavigationEvent, a timer a QTimer that fires the model's handler, a box one of
// MessageBoxes, the clipboard the SecretClipboard. It is the router's slot for the screen: the
// router's calls reach the model through the view, which draws again after each.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/core/Router.h"
#include "app/core/ScreenModel.h"

class QLabel;
class QTimer;

namespace ov::app {

class RHGenericChildDialog : public QWidget, public Effects, public ScreenSlot {
  Q_OBJECT

  // First, so that the model exists before m_DialogType refers to its field.
  std::unique_ptr<ScreenModel> m_model;

 public:
  // `receiver` gets the navigation events (the main window). Without a model of its own the view
  // gets the plain one.
  RHGenericChildDialog(QObject* receiver, const QString& objectName,
                       std::unique_ptr<ScreenModel> model = nullptr, QWidget* parent = nullptr);
  ~RHGenericChildDialog() override;

  ScreenModel& model() const override { return *m_model; }
  // Not virtual: a view's own model() returns its model's type (and overrides the one above).
  ScreenModel& ownModel() const { return *m_model; }
  // The variant, kept by the model.
  int& m_DialogType;

  // Creates the screen over `placeholder` (its contents are set up for m_DialogType) and shows it
  // when asked to.
  virtual void CRHCreateGenericChildDialog(QWidget* placeholder, bool show);
  // The router's creation: the variant (a pair's halves get theirs), then creation in place.
  void createScreen(int dialogType, int sideBar) override;
  // Shows (adding the timers) or hides (removing them).
  void ShowChildDialog(bool show) override;
  // Hides the screen, stops its timers and forgets its contents until the next creation.
  void DestroyChildDialog() override;
  bool isCreated() const override { return m_model->isCreated(); }
  void focusInitial() override;

  void resetTimer(int id) { m_model->resetTimer(id); }
  // The timer of that ID (created on first use, named "timer<ID>").
  QTimer* timer(int id);
  void startTimer(int id, int milliseconds, bool singleShot = false) {
    m_model->startTimer(id, milliseconds, singleShot);
  }
  void stopTimer(int id) { m_model->stopTimer(id); }
  bool isTimerRunning(int id) const { return m_model->isTimerRunning(id); }
  void removeTimers() { m_model->removeTimers(); }

  void postContinue(int code) { m_model->postContinue(code); }
  void postCancel(int code) { m_model->postCancel(code); }
  void postTitleIndicator(int code) { m_model->postTitleIndicator(code); }

  // The model's passcode generation and flow, with a refusal shown in `errorLabel` (or, without
  // one, in a message box).
  int GenerateOTP(const wchar_t* challenge, QLabel* errorLabel);
  using WithoutInfo = ScreenModel::WithoutInfo;
  bool ContinueToPasscode(bool setPinFirst, WithoutInfo withoutInfo, QLabel* errorLabel);
  bool MayVoidActivationCode(bool codeOnScreen = false) {
    return m_model->MayVoidActivationCode(codeOnScreen);
  }
  std::optional<int32_t> ResetTokenAfterAsking(bool codeOnScreen = false) {
    return m_model->ResetTokenAfterAsking(codeOnScreen);
  }

  // Calls of the router after it went back to this screen; the model decides, the view
  // draws again.
  void showErrorMessage() override {
    m_model->showErrorMessage();
    refresh();
  }
  void showInvalidPINError() override {
    m_model->showInvalidPINError();
    refresh();
  }
  void ClearMessageLine() override {
    m_model->ClearMessageLine();
    refresh();
  }
  void ResetForReentry() override {
    m_model->ResetForReentry();
    refresh();
  }

  // The screen's controls in keyboard order, visible ones only (the main window cycles through
  // them with Back).
  virtual std::vector<QWidget*> focusCycle() const;
  // Escape pressed on this screen; true when the screen used it.
  bool onEscape() override { return false; }
  // Back pressed on this screen: whatever leaving it undoes is done here; false keeps the user
  // on the screen.
  bool confirmBack() override {
    const bool leave = m_model->confirmBack();
    refresh();
    return leave;
  }
  // The widget to focus when the screen is shown.
  virtual QWidget* initialFocus() const { return nullptr; }
  // True while the screen waits for work on another thread: the window is not left meanwhile.
  bool isBusy() const override { return m_model->isBusy(); }

  // Effects of the model.
  void post(int message, int code) override;
  void runTimer(int id, int milliseconds, bool singleShot) override;
  void cancelTimer(int id) override;
  void showMessage(MessageKind kind, const std::string& text, const std::string& caption) override;
  bool ask(const std::string& text, const std::string& caption) override;
  void copySecret(std::string_view text) override;
  void clearSecret() override;
  std::string clipboardText() override;
  void clearClipboard() override;
  void deliver(std::function<void()> task) override;

 signals:
  // The work isBusy() waited for has ended.
  void busyEnded();

 protected:
  // Sets up the widgets for the model's new state after creation (the model's own set-up has run).
  virtual void OnInitDialog() {}
  virtual void OnDestroy() {}
  // A timer fired: the model's handler has run (the base's handles inactivity).
  virtual void OnTimer(int id);
  // Draws the model's state into the widgets.
  virtual void refresh() {}
  // Registers a control for the keyboard cycle, in order.
  void addToCycle(QWidget* widget) { m_cycle.push_back(widget); }
  void paintEvent(QPaintEvent* event) override;

 private:
  QObject* m_receiver;
  std::map<int, QTimer*> m_timers;
  std::vector<QWidget*> m_cycle;
};

// The view of a screen whose model is of type M.
template <typename M>
M& ModelOf(const RHGenericChildDialog& view) {
  return static_cast<M&>(view.ownModel());
}

}  // namespace ov::app
