// Every message box of the application goes through here, so that a test can answer it instead of
// a person: a test installs a handler that records the text and returns at once.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ov::app {

class MessageBoxes {
 public:
  enum class Kind { Error, Information, Question };
  using Handler = std::function<void(Kind kind, const QString& text, const QString& caption)>;

  // Shows a modal box with an OK button (or hands it to the installed handler).
  static void Show(QWidget* parent, Kind kind, const QString& text, const QString& caption);
  // Shows string `textId` with caption string 205, as the start-up and exit paths do.
  static void ShowString(QWidget* parent, int textId);
  // Asks a question with Yes and No, No being the default; true for Yes. With a handler installed,
  // the handler sees it (Kind::Question) and the answer set with SetAnswer is taken.
  static bool Ask(QWidget* parent, const QString& text, const QString& caption);

  // Installs a handler in place of the real boxes; an empty one restores them.
  static void SetHandler(Handler handler);
  // The answer an installed handler gives to questions (Yes unless set).
  static void SetAnswer(bool yes);
};

}  // namespace ov::app
