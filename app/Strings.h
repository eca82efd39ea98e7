// Texts of the string table as QStrings, and the numbers of the texts the desktop application adds
// to the table.
#pragma once

#include <QString>

#include "frontend/DisplayText.h"
#include "frontend/StringTable.h"

namespace ov::app {

inline constexpr int kStrAbout = 300;
inline constexpr int kStrMultiHostRefused = 301;
inline constexpr int kStrDeactivateFailed = 302;
inline constexpr int kStrDeleteFailed = 303;
inline constexpr int kStrAboutText = 304;
inline constexpr int kStrMenu = 305;
inline constexpr int kStrTokenList = 306;
inline constexpr int kStrCopy = 307;
inline constexpr int kStrCopied = 308;
inline constexpr int kStrActivationCodeVoided = 409;
inline constexpr int kStrActivationCodeCopied = 410;
inline constexpr int kStrQuit = 509;
inline constexpr int kStrEnrollmentServerQuestion = 510;
inline constexpr int kStrEnrolling = 511;
inline constexpr int kStrInputTooLong = 516;
inline constexpr int kStrMultiHost = 200;

inline QString Str(int id) { return QString::fromUtf8(frontend::OVString(id)); }
inline QString Str(int id, int a) { return QString::fromStdString(frontend::LoadOVString(id, a)); }
inline QString Str(int id, int a, int b) {
  return QString::fromStdString(frontend::LoadOVString(id, a, b));
}

// A token's name as it is shown: line breaks, control characters and the like written as escapes,
// so a stored name cannot forge a row or hide its true text.
inline QString DisplayName(const QString& name) {
  return QString::fromStdString(frontend::DisplayName(name.toStdString()));
}

}  // namespace ov::app
