#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string>
#include <string_view>

class QKeyEvent;
class QWidget;

// The adapter between the core's UTF-8 texts and Qt, and the units and key codes the windows use.
namespace lithora::gui {

inline QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string utf8(const QString& text) {
    return text.toStdString();
}

// The main window is laid out in twips (1/1440 inch); Qt works in 96-per-inch logical pixels.
inline constexpr int kTwipsPerPixel = 15;
inline int px(int twips) {
    return twips / kTwipsPerPixel;
}
inline int twips(int pixels) {
    return pixels * kTwipsPerPixel;
}

// The key code a key press had on the desktop the program comes from (letters 65..90, F1 112,
// keypad digits 96..105, ...), which the alphabetical jump reads; 0 for keys without one.
int windowsKeyCode(const QKeyEvent* event);

// The font the windows are drawn in; Arial where the system has it, else its metric twin.
QFont arialFont(double points, bool bold);

// Background of a text field while it has the focus.
QColor tooltipBackground();

// Called first in the destructor of a window that watches or connects its children: their own
// destruction sends focus and other events, which must not reach the half-destroyed window.
void detachFromChildren(QObject* window);

// Gives a widget the focus when it can take it; a hidden or disabled one is passed over.
void setFocusSafe(QWidget* widget);

} // namespace lithora::gui
