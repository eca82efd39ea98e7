// The application's look: the colour scheme of its controls, its fonts, and sizes given in dialog
// units. A dialog unit is a quarter of the average character width across and an eighth of the
// character height down, so a layout measured in them grows with the font and the screen's
// scale (Qt supplies device-independent pixels, which HiDPI screens multiply).
#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

class QLabel;
class QWidget;

namespace ov::app::theme {

inline const QColor kPurple{109, 40, 106};        // headlines, hot list row, title bar
inline const QColor kDescription{109, 110, 113};  // descriptions and field labels
inline const QColor kError{237, 28, 36};          // error messages
inline const QColor kValue{88, 89, 91};           // hints and information values
inline const QColor kWhite{255, 255, 255};
inline const QColor kBlack{0, 0, 0};
inline const QColor kListBackground{240, 241, 241};
inline const QColor kRowOdd{229, 229, 229};
inline const QColor kRowEven{178, 178, 178};
inline const QColor kScreenBackground{255, 255, 255};

// "Helvetica" at `points` (the system's closest face where Helvetica itself is missing).
QFont Helvetica(int points, bool bold = false);

// Pixels of dialog units for the application's dialog font.
int DluX(int dlu);
int DluY(int dlu);
QSize Dlu(int width, int height);

// Role styles: set colour and font on a label.
void StyleHeadline(QLabel* label);          // "Helvetica Bold" 14, purple
void StyleText(QLabel* label);              // "Helvetica" 12, description grey
void StyleFieldLabel(QLabel* label);        // "Helvetica Bold" 9, description grey
void StyleValue(QLabel* label);             // "Helvetica" 9, value grey
void StyleInformationLabel(QLabel* label);  // "Helvetica Bold" 9, value grey (token information)
void StyleHint(QLabel* label);              // "Helvetica Bold" 8, value grey
void StyleError(QLabel* label);             // "Helvetica" 9, red
void SetTextColour(QWidget* widget, const QColor& colour);

// A title longer than 10 characters is cut to its first 10 and "...".
QString ShortTitle(const QString& title);

}  // namespace ov::app::theme
