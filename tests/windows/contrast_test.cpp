// Every window, started under a light and a dark palette, drawn for real and
// read back: each text it shows must stand out from its background by at
// least 4.5:1, and the window must fit a 1280 x 800 screen. The palette is what a desktop hands the
// program, mended the way the program's start mends it.
#include "controls/string_grid.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "shell/calendar.h"
#include "shell/theme.h"
#include "storage/backup_files.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/feature_list.h"
#include "windows/help_window.h"
#include "windows/hikei.h"
#include "windows/ichiran.h"
#include "windows/nikiset.h"
#include "windows/nikki.h"
#include "windows/nyukin.h"
#include "windows/ver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <algorithm>
#include <functional>

namespace {

// A dark desktop theme as the common toolkits ship it.
QPalette darkPalette() {
    QPalette p;
    const QColor text(0xf0, 0xf0, 0xf0);
    p.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2a));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x44, 0x44, 0x44));
    p.setColor(QPalette::Mid, QColor(0x28, 0x28, 0x28));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return p;
}

// How a text region reads. The background is the region's most common
// colour (a label or cell is mostly background). The text is read from the
// pixels farthest from it: antialiasing spreads a glyph over many shades, but
// its stems' cores carry the full ink. The k-th farthest pixel stands for the
// text, so a lone stray pixel (a focus dot, a grid line's end) cannot pass a
// faint text, while a small glyph's core still counts.
double regionContrast(const QImage& image, const QRect& r) {
    QHash<QRgb, int> counts;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) most = it.value(), background = it.key();
    std::vector<std::pair<double, int>> byContrast; // contrast, pixels
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        byContrast.emplace_back(Theme::contrast(QColor(it.key()), QColor(background)), it.value());
    std::sort(byContrast.rbegin(), byContrast.rend());
    int k = std::max(3, r.width() * r.height() / 2000);
    for (const auto& [ratio, pixels] : byContrast)
        if ((k -= pixels) <= 0) return ratio;
    return 1.0;
}

struct TextRegion {
    QRect rect; // in the window's coordinates
    QString what;
};

// The regions of a window that show text: a label's, a button's or a field's
// area, a menu title, a tab, and each cell and header section of the grids
// and the calendar that holds a text. Only what is enabled and wholly in view.
std::vector<TextRegion> textRegions(QWidget* window) {
    std::vector<TextRegion> out;
    auto add = [&](QWidget* w, const QRect& local, const QString& text) {
        if (text.trimmed().isEmpty() || local.width() < 4 || local.height() < 4) return;
        const QRect inView = w->visibleRegion().boundingRect();
        if (!inView.contains(local)) return;
        out.push_back({QRect(w->mapTo(window, local.topLeft()), local.size()),
                       QStringLiteral("%1 %2 \"%3\"")
                           .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
                                text.left(30))});
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || !w->isEnabled()) continue;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (!l->pixmap().isNull()) continue;
            add(l, l->contentsRect(), l->text());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (!qobject_cast<QTabBar*>(b->parentWidget())) add(b, b->rect(), b->text());
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            add(e, e->rect().adjusted(2, 2, -2, -2), e->text());
        } else if (auto* t = qobject_cast<QTextEdit*>(w)) {
            add(t->viewport(), t->viewport()->rect(), t->toPlainText());
        } else if (auto* t = qobject_cast<QPlainTextEdit*>(w)) {
            add(t->viewport(), t->viewport()->rect(), t->toPlainText());
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            add(c, c->rect().adjusted(2, 2, -24, -2), c->currentText());
        } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
            for (QAction* a : bar->actions())
                if (a->isVisible() && a->isEnabled()) add(bar, bar->actionGeometry(a), a->text());
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->isTabEnabled(i)) add(tabs, tabs->tabRect(i), tabs->tabText(i));
        } else if (auto* h = qobject_cast<QHeaderView*>(w)) {
            for (int i = 0; i < h->count(); ++i) {
                if (h->isSectionHidden(i)) continue;
                const int at = h->sectionViewportPosition(i), size = h->sectionSize(i);
                const QRect r = h->orientation() == Qt::Horizontal ? QRect(at, 0, size, h->height())
                                                                   : QRect(0, at, h->width(), size);
                add(h->viewport(), r, h->model()->headerData(i, h->orientation()).toString());
            }
        } else if (auto* v = qobject_cast<QAbstractItemView*>(w)) {
            QAbstractItemModel* m = v->model();
            if (!m) continue;
            for (int row = 0; row < std::min(m->rowCount(), 200); ++row)
                for (int col = 0; col < m->columnCount(); ++col) {
                    const QModelIndex i = m->index(row, col);
                    add(v->viewport(), v->visualRect(i), i.data().toString());
                }
        } else if (auto* g = qobject_cast<StringGrid*>(w)) {
            for (int row = 0; row < g->RowCount(); ++row)
                for (int col = 0; col < g->ColCount(); ++col)
                    add(g, g->cellRect(col, row), g->cell(col, row));
        } else if (auto* cal = qobject_cast<TCalendar*>(w)) {
            for (int row = 0; row < TCalendar::Rows; ++row)
                for (int col = 0; col < TCalendar::Cols; ++col)
                    add(cal, cal->cellRect(col, row), cal->cellText(col, row));
        }
    }
    return out;
}

struct Theme_ {
    const char* name;
    std::function<QPalette()> palette;
};

class ContrastTest : public MainWindowFixture, public ::testing::WithParamInterface<Theme_> {
protected:
    void SetUp() override {
        before_ = QApplication::palette();
        QApplication::setPalette(Theme::accessible(GetParam().palette()));
        MainWindowFixture::SetUp();
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        QApplication::setPalette(before_);
    }

    // Shows the window, draws it and lists each text below the threshold.
    void check(QWidget* window, QStringList& faint, int& texts) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        // A 1280 x 800 screen, less a title bar and a panel.
        EXPECT_LE(window->width(), 1280) << window->windowTitle().toStdString();
        EXPECT_LE(window->height(), 760) << window->windowTitle().toStdString();
        QApplication::processEvents();
        const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const TextRegion& r : textRegions(window)) {
            const QRect inImage = r.rect.intersected(image.rect());
            if (inImage != r.rect) continue;
            ++texts;
            const double ratio = regionContrast(image, r.rect);
            if (ratio < Theme::MinContrast)
                faint << QStringLiteral("%1: %2 %3:1 at %4,%5")
                             .arg(window->windowTitle(), r.what)
                             .arg(ratio, 0, 'f', 2)
                             .arg(r.rect.x())
                             .arg(r.rect.y());
        }
        window->hide();
    }

    QPalette before_;
};

TEST_P(ContrastTest, EveryTextOfEveryWindowStandsOutFromItsBackground) {
    // A month with named items and amounts, so the grids have texts.
    ConfigValues cfg{tmp.path(), tmp.path(), {}};
    const char* names[] = {"給料", "食費", "住居費", "光熱費"};
    for (int i = 0; i < 4; ++i)
        cfg.names[i] = utf8ToCp932(names[i]);
    writeConfig(disk, tmp.path(), cfg);
    setDate(2026, 1, 12);
    form1->FormActivate();

    TForm2 form2(form1.get());
    TForm3 form3(form1.get());
    TForm4 form4(form1.get());
    TForm5 form5(form1.get(), &form2);
    TForm6 form6;
    TForm7 form7(form1.get());
    HelpWindow help;
    form1->setDailySheet(&form2);
    form1->setSheetFiller([&] { SheetDisp(*form1, form2); });
    form1->setDiary(&form3);
    form1->setSettings(&form4);
    form2.setAmountDialog(&form5);
    form1->setVersion(&form6);
    form1->setMonthlyList(&form7);
    form1->Ledger.Items[2].Days[5].Expense = 1490;
    form1->Ledger.Items[1].Days[12].Income = 285000;
    BackupStore backups(disk, [this] { return BookFolders{tmp.path(), tmp.path(), tmp.path()}; });
    ProgramFeatures features(&backups, [] { return Date{2026, 1, 12}; });
    features.install(*form1);
    features.attach(*form1);
    help.showContents(QStringLiteral(ZADUD_SOURCE_DIR "/help/Zadud.hlp"));
    help.hide();

    QStringList faint;
    int texts = 0;
    form1->show();
    form1->SpeedButton3Click(); // fills the daily sheet
    form2.hide();
    form1->SpeedButton5Click(); // fills the monthly list
    form7.hide();
    std::vector<QWidget*> windows = {form1.get(), &form2, &form3, &form4,
                                     &form5,      &form6, &form7, &help};
    for (QWidget* w : std::initializer_list<QWidget*>{
             features.yearOverview.window(), features.diarySearch.window(),
             features.schedule.window(), features.statementImport.window(),
             features.backup.window(), features.changeHistory.window(), features.budget.window(),
             features.report.window()})
        windows.push_back(w);
    for (QWidget* w : windows) {
        ASSERT_NE(w, nullptr);
        check(w, faint, texts);
    }
    EXPECT_TRUE(faint.isEmpty()) << faint.join('\n').toStdString();
    // The regions were found: menus, calendar cells, grid cells, labels, buttons.
    EXPECT_GT(texts, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, ContrastTest,
    ::testing::Values(Theme_{"light", [] { return QApplication::style()->standardPalette(); }},
                      Theme_{"dark", darkPalette}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
