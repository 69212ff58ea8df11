#pragma once
// The program's colours, taken from the palette the desktop gives: the light
// look keeps the cyan bar and black text, a dark palette gets a dark bar and
// the palette's own light text. Every fixed colour a window draws text in
// (weekends, "over budget", greyed rows) goes through readable(), so it keeps
// 4.5:1 against the background it sits on whatever the theme.

#include <QColor>
#include <QPalette>

class QWidget;

namespace Theme {

// Relative luminance and contrast ratio as accessibility guidelines define
// them: 1.0 for equal colours, 21.0 for black on white.
double luminance(const QColor& c);
double contrast(const QColor& a, const QColor& b);
// The least contrast text needs against its background.
inline constexpr double MinContrast = 4.5;

bool isDark(const QPalette& pal);

// `wanted`, or the nearest shade of it (towards white on a dark background,
// towards black on a light one) that reaches MinContrast against `background`.
QColor readable(const QColor& wanted, const QColor& background);

// The main window's band behind the menus, toolbar and calendar.
QColor barColour(const QPalette& pal);
// Text on the window or a grid: black in the light look, the palette's text
// in a dark one.
QColor ink(const QPalette& pal);
// A text of lesser weight (forecasts, undone steps): halfway to the
// background, but still readable on it.
QColor muted(const QPalette& pal, QPalette::ColorRole background = QPalette::Base);
// Sunday and holiday red, Saturday blue, warning red, readable on `background`.
QColor sundayInk(const QPalette& pal, QPalette::ColorRole background = QPalette::Base);
QColor saturdayInk(const QPalette& pal, QPalette::ColorRole background = QPalette::Base);
QColor warningInk(const QPalette& pal, QPalette::ColorRole background = QPalette::Base);
// A marker's fill behind text (search hits): yellow, dimmed in a dark look;
// the text on it is markerInk().
QColor markerFill(const QPalette& pal);
QColor markerInk(const QPalette& pal);

// The desktop's palette with every pair of text and background that falls
// short of MinContrast mended by moving the background: a selection's
// highlight, the tooltip's. The program starts with it.
QPalette accessible(QPalette pal);

// Sets the text roles of `w` (WindowText, Text, ButtonText) to ink().
void useInk(QWidget* w);

} // namespace Theme
