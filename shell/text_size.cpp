#include "shell/text_size.h"

#include "controls/string_grid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <cmath>
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
        const QScreen* screen = w->screen();
        scaleWindow(w, inForce / 100.0, screen ? screen->availableGeometry() : QRect());
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
    QFont f = QApplication::font();
    if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, times(f.pixelSize(), double(percent) / before)));
    else
        f.setPointSizeF(f.pointSizeF() * percent / before);
    QApplication::setFont(f);
    static WindowScaler* scaler = nullptr;
    if (percent != 100 && !scaler) {
        scaler = new WindowScaler(&app);
        app.installEventFilter(scaler);
    }
}

void scaleWindow(QWidget* window, double factor, const QRect& screen) {
    if (factor == 1.0) return;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isWindow()) continue;
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
    QSize size(times(window->width(), factor), times(window->height(), factor));
    if (!screen.isEmpty()) size = size.boundedTo(screen.size() - QSize(0, 40));
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(size);
    else
        window->resize(size);
}

} // namespace TextSize
