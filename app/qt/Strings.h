// The core's texts as QStrings, and the shared values' secret texts to and from Qt's strings.
#pragma once

#include <QString>

#include "app/qt/Strings.h"
#include "app/core/SharedValues.h"
#include "app/core/Text.h"
#include "frontend/DisplayText.h"
#include "frontend/StringTable.h"

namespace ov::app {

inline QString Str(int id) { return QString::fromUtf8(frontend::OVString(id)); }
inline QString Str(int id, int a) { return QString::fromStdString(frontend::LoadOVString(id, a)); }
inline QString Str(int id, int a, int b) {
  return QString::fromStdString(frontend::LoadOVString(id, a, b));
}
inline QString Str(const Text& text) { return QString::fromStdString(text.str()); }

// A token's name as it is shown: line breaks, control characters and the like written as escapes,
// so a stored name cannot forge a row or hide its true text.
inline QString DisplayName(const QString& name) {
  return QString::fromStdString(frontend::DisplayName(name.toStdString()));
}

inline QString FromWide(const wchar_t* text) {
  return text == nullptr ? QString() : QString::fromWCharArray(text);
}

inline QString ToQString(const SecretText& text) {
  return QString::fromWCharArray(text.view().data(), static_cast<int>(text.view().size()));
}

// Overwrites a QString's characters (after a value was taken from an edit box, say).
inline void WipeQString(QString& text) {
  if (text.isEmpty()) return;
  // fill() writes into the string's own buffer (detaching it first if it is shared).
  text.fill(QChar(u'\0'));
  text.clear();
}

// Takes an edit box's text into a secret text without leaving a converted copy behind.
inline void Assign(SecretText& target, const QString& text) {
  std::wstring wide(static_cast<std::size_t>(text.size()), L'\0');
  wide.resize(static_cast<std::size_t>(text.toWCharArray(wide.data())));
  target.assign(wide);
  SecretText::Wipe(wide);
}

}  // namespace ov::app
