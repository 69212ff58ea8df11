// What the diary and the line search share: the window's parts top to
// bottom, and a hidden window searches no more.
#include "windows/diary_search.h"
#include "windows/line_search.h"

#include "tests/windows/main_window_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <functional>
#include <memory>

namespace {

using SearchWindowTest = MainWindowFixture;

TEST_F(SearchWindowTest, PartsTopToBottomAndHidingStopsTheSearch) {
    writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.path() + "\r\nMEMO=" + tmp.path() + "\r\n");
    setDate(2026, 12, 24);
    form1->FormActivate();
    const struct {
        const char* name;
        std::function<std::unique_ptr<SearchWindow>()> make;
        std::vector<const char*> parts; // top to bottom
    } cases[] = {
        {"diary",
         [&] { return std::make_unique<DiarySearchWindow>(form1.get()); },
         {"queryEdit", "resultList", "preview", "statusLabel"}},
        {"lines",
         [&] { return std::make_unique<LineSearchWindow>(form1.get()); },
         {"queryEdit", "resultList", "totalsLabel", "statusLabel"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<SearchWindow> window = c.make();
        window->show();
        int above = -1;
        for (const char* part : c.parts) {
            auto* widget = window->findChild<QWidget*>(part);
            ASSERT_NE(widget, nullptr) << part;
            const int top = widget->mapTo(window.get(), QPoint(0, 0)).y();
            EXPECT_GT(top, above) << part;
            above = top;
        }
        window->findChild<QLineEdit*>("queryEdit")->setText(QStringLiteral("雨"));
        EXPECT_TRUE(window->searching());
        window->hide();
        EXPECT_FALSE(window->searching());
    }
}

} // namespace
