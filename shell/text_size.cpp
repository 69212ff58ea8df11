#include "shell/text_size.h"

#include "controls/string_grid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QPoint>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace TextSize {

namespace {

int inForce = 100;

QSettings settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zadud"),
                     QStringLiteral("look"));
}

int times(int v, double f) {
    return static_cast<int>(std::lround(v * f));
}

void scaleFont(QFont& f, double ratio) {
    if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, times(f.pixelSize(), ratio)));
    else if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * ratio);
}

// A window's own font at the percentage in force, from the size it was made
// with at `before`. The size at 100 % is kept with the widget, so that going
// back and forth between sizes never drifts by a rounding.
QFont rescaledFont(QWidget* w, QFont font, int before) {
    if (font.pixelSize() <= 0) {
        scaleFont(font, double(inForce) / before);
        return font;
    }
    // (the size at 100 %, the size it was last given here)
    const QPoint kept = w->property("textPixels").toPoint();
    const int base = kept.y() == font.pixelSize() && kept.x() > 0
                         ? kept.x()
                         : std::max(1, times(font.pixelSize(), 100.0 / before));
    font.setPixelSize(std::max(1, times(base, inForce / 100.0)));
    w->setProperty("textPixels", QPoint(base, font.pixelSize()));
    return font;
}

// Gives a window its size, within the screen (an empty rectangle: no limit).
void fitWindow(QWidget* window, QSize size, const QRect& screen) {
    // 40 pixels are left for the title bar and the frame.
    const QSize frame(0, 40);
    if (!screen.isEmpty()) size = size.boundedTo(screen.size() - frame);
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(size);
    else
        window->resize(size);
    if (screen.isEmpty()) return;
    // Grown past the screen's edge, it moves back onto it.
    const QPoint at(
        std::max(screen.left(), std::min(window->x(), screen.right() + 1 - size.width())),
        std::max(screen.top(),
                 std::min(window->y(), screen.bottom() + 1 - frame.height() - size.height())));
    if (at != window->pos()) window->move(at);
}

// A shown window at the percentage in force, from `before`: its children
// by the ratio, its own size from its size at 100 % while the user has not
// changed it, so that a size the screen cut is found again.
void rescaleWindow(QWidget* w, int before) {
    const double ratio = double(inForce) / before;
    const QScreen* screen = w->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    QSize base = w->property("textBaseSize").toSize();
    if (!base.isValid() || w->size() != w->property("textGivenSize").toSize())
        base = QSize(times(w->width(), 100.0 / before), times(w->height(), 100.0 / before));
    scaleWindow(w, ratio, area);
    fitWindow(w, QSize(times(base.width(), inForce / 100.0), times(base.height(), inForce / 100.0)),
              area);
    w->setProperty("textScaled", true);
    w->setProperty("textBaseSize", base);
    w->setProperty("textGivenSize", w->size());
}

// Made hand-placed: a child its parent's layout does not manage.
bool handPlaced(QWidget* w) {
    QWidget* parent = w->parentWidget();
    return parent && (!parent->layout() || parent->layout()->indexOf(w) < 0);
}

// Scales each window once, on its first showing.
class WindowScaler : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!w->isWindow() || w->property("textScaled").toBool()) return false;
        w->setProperty("textScaled", true);
        w->setProperty("textBaseSize", w->size());
        const QScreen* screen = w->screen();
        scaleWindow(w, inForce / 100.0, screen ? screen->availableGeometry() : QRect());
        w->setProperty("textGivenSize", w->size());
        return false;
    }
};

} // namespace

int percent() {
    return inForce;
}

int scaled(int pixels) {
    return times(pixels, inForce / 100.0);
}

int stored() {
    const int p = settings().value(QStringLiteral("textPercent"), 100).toInt();
    return std::find(std::begin(Choices), std::end(Choices), p) != std::end(Choices) ? p : 100;
}

void store(int percent) {
    QSettings s = settings();
    s.setValue(QStringLiteral("textPercent"), percent);
    s.sync();
}

void apply(QApplication& app, int percent) {
    const int before = inForce;
    inForce = percent;
    const double ratio = double(percent) / before;
    // The fonts the windows set themselves, taken before the application's
    // changes: one that only inherits its size would otherwise grow twice.
    std::vector<std::pair<QPointer<QWidget>, QFont>> own;
    if (ratio != 1.0)
        for (QWidget* w : QApplication::allWidgets())
            if (w->testAttribute(Qt::WA_SetFont)) own.emplace_back(w, w->font());
    QFont f = QApplication::font();
    scaleFont(f, ratio);
    QApplication::setFont(f);
    for (auto& [w, font] : own)
        if (w) w->setFont(rescaledFont(w, font, before));
    // The windows already shown grow (or shrink) at once; the others on
    // their first showing.
    if (ratio != 1.0)
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->property("textScaled").toBool() || w->isVisible()) rescaleWindow(w, before);
    static WindowScaler* scaler = nullptr;
    if (!scaler) {
        scaler = new WindowScaler(&app);
        app.installEventFilter(scaler);
    }
}

void scaleWindow(QWidget* window, double factor, const QRect& screen) {
    if (factor == 1.0) return;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // A child window (a dialog made with this one as parent) and all
        // in it grow on their own.
        if (w->window() != window) continue;
        const QSize min = w->minimumSize(), max = w->maximumSize();
        if (min.height() == max.height()) w->setFixedHeight(times(min.height(), factor));
        if (min.width() == max.width()) w->setFixedWidth(times(min.width(), factor));
        if (handPlaced(w)) {
            const QRect g = w->geometry();
            w->setGeometry(times(g.x(), factor), times(g.y(), factor), times(g.width(), factor),
                           times(g.height(), factor));
        }
        // Grids size their cells themselves.
        if (auto* grid = qobject_cast<StringGrid*>(w)) {
            grid->setDefaultColWidth(times(grid->DefaultColWidth(), factor));
            grid->setDefaultRowHeight(times(grid->DefaultRowHeight(), factor));
        } else if (auto* table = qobject_cast<QTableView*>(w)) {
            for (QHeaderView* h : {table->horizontalHeader(), table->verticalHeader()}) {
                // A new default size resets every section to it: the sizes
                // set by hand are taken first.
                std::vector<int> sizes;
                for (int i = 0; i < h->count(); ++i)
                    sizes.push_back(h->sectionSize(i));
                h->setMinimumSectionSize(times(h->minimumSectionSize(), factor));
                h->setDefaultSectionSize(times(h->defaultSectionSize(), factor));
                for (int i = 0; i < h->count(); ++i)
                    h->resizeSection(i, times(sizes[static_cast<std::size_t>(i)], factor));
            }
        }
    }
    fitWindow(window, QSize(times(window->width(), factor), times(window->height(), factor)),
              screen);
}

} // namespace TextSize
