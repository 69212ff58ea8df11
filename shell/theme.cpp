#include "shell/theme.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace Theme {

namespace {

double channel(int v) {
    const double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QColor mix(const QColor& a, const QColor& b, double t) {
    auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(m(a.red(), b.red()), m(a.green(), b.green()), m(a.blue(), b.blue()));
}

} // namespace

double luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) +
           0.0722 * channel(rgb.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDark(const QPalette& pal) {
    return luminance(pal.color(QPalette::Window)) < luminance(pal.color(QPalette::WindowText));
}

QColor readable(const QColor& wanted, const QColor& background) {
    // A little past the threshold, so rounding in the renderer's blending
    // cannot take a text below it.
    const double target = MinContrast + 0.3;
    if (contrast(wanted, background) >= target) return wanted.toRgb();
    const QColor end = luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    for (int step = 1; step <= 20; ++step) {
        const QColor c = mix(wanted.toRgb(), end, step / 20.0);
        if (contrast(c, background) >= target) return c;
    }
    return end;
}

QColor barColour(const QPalette& pal) {
    return isDark(pal) ? QColor(0, 72, 80) : QColor(0, 255, 255);
}

QColor ink(const QPalette& pal) {
    return isDark(pal) ? pal.color(QPalette::WindowText) : QColor(Qt::black);
}

QColor muted(const QPalette& pal, QPalette::ColorRole background) {
    const QColor bg = pal.color(background);
    return readable(mix(pal.color(QPalette::Text), bg, 0.4), bg);
}

QColor sundayInk(const QPalette& pal, QPalette::ColorRole background) {
    return readable(QColor(0xd0, 0x10, 0x10), pal.color(background));
}

QColor saturdayInk(const QPalette& pal, QPalette::ColorRole background) {
    return readable(QColor(0x10, 0x40, 0xd0), pal.color(background));
}

QColor warningInk(const QPalette& pal, QPalette::ColorRole background) {
    return readable(QColor(0xd0, 0x20, 0x20), pal.color(background));
}

QColor markerFill(const QPalette& pal) {
    return isDark(pal) ? QColor(120, 100, 0) : QColor(255, 232, 80);
}

QColor markerInk(const QPalette& pal) {
    return readable(ink(pal), markerFill(pal));
}

QPalette accessible(QPalette pal) {
    static const QPalette::ColorRole pairs[][2] = {
        {QPalette::Highlight, QPalette::HighlightedText},
        {QPalette::ToolTipBase, QPalette::ToolTipText},
        {QPalette::Base, QPalette::Text},
        {QPalette::Window, QPalette::WindowText},
        {QPalette::Button, QPalette::ButtonText},
    };
    // Inactive text is not read against its background; the others are.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto& pair : pairs) {
            const QColor text = pal.color(group, pair[1]);
            const QColor back = pal.color(group, pair[0]);
            if (contrast(text, back) < MinContrast)
                pal.setColor(group, pair[0], readable(back, text));
        }
    }
    return pal;
}

void useInk(QWidget* w) {
    QPalette pal = w->palette();
    const QColor c = ink(pal);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(role, c);
    w->setPalette(pal);
}

} // namespace Theme
