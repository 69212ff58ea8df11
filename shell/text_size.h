#pragma once
// 文字の大きさ: one percentage that scales every text of the program and the
// windows with it. It is kept in the user's settings and taken at start-up:
// the fonts are set in pixels when each window is made, and each window
// grows by it when it first shows (never past the screen). A new choice
// applies at once: the open windows' fonts and sizes change with it.

#include <QObject>

class QApplication;
class QWidget;

namespace TextSize {

inline constexpr int Choices[] = {100, 125, 150, 175, 200};

// The percentage in force (100 until apply()).
int percent();
// A pixel size scaled by it.
int scaled(int pixels);

// The stored percentage: one of Choices, 100 when none or another is stored.
int stored();
void store(int percent);

// Puts `percent` in force: the application's font, WindowStyle's fonts and
// each window's first showing; the fonts every existing window set itself
// and the size of each window already shown change by the ratio to the
// percentage in force before.
void apply(QApplication& app, int percent);

// Grows a window's own size and its hand-placed children by `factor`,
// keeping it within `screen` (an empty rectangle: no limit).
void scaleWindow(QWidget* window, double factor, const QRect& screen);

} // namespace TextSize
