// Start-up's second step: everything after the main window is made once,
// after the window's first frame, at once when the user reaches for the
// program first, or after a second when the window never shows.
#include "shell/application.h"
#include "shell/start_up.h"
#include "shell/window_style.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QTest>
#include <QStyle>
#include <QWidget>
#include <memory>
#include <gtest/gtest.h>

namespace {

TEST(StartUp, TheRestIsMadeOnceAfterTheFirstFrameOrTheFirstKeyOrASecond) {
    enum class Reach { Shown, KeyFirst, NeverShown };
    for (Reach reach : {Reach::Shown, Reach::KeyFirst, Reach::NeverShown}) {
        SCOPED_TRACE(static_cast<int>(reach));
        QWidget window;
        window.resize(200, 100);
        int made = 0;
        bool exposedWhenMade = false;
        qint64 madeAfterMs = -1;
        QElapsedTimer clock;
        clock.start();
        auto* steps = new StartUp(&window, [&] {
            ++made;
            madeAfterMs = clock.elapsed();
            exposedWhenMade = window.windowHandle() && window.windowHandle()->isExposed();
        });
        EXPECT_EQ(made, 0) << "made before the window was shown";
        switch (reach) {
        case Reach::Shown:
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            EXPECT_TRUE(QTest::qWaitFor([&] { return made == 1; }, 3000));
            EXPECT_TRUE(exposedWhenMade);
            EXPECT_LT(madeAfterMs, 900) << "waited for the fallback, not the frame";
            break;
        case Reach::KeyFirst:
            // A key that comes before any frame makes the rest first.
            QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
            EXPECT_EQ(made, 1);
            break;
        case Reach::NeverShown:
            EXPECT_TRUE(QTest::qWaitFor([&] { return made == 1; }, 3000));
            EXPECT_GE(madeAfterMs, 900);
            break;
        }
        EXPECT_TRUE(steps->done());
        steps->finish();
        window.show();
        QTest::qWait(50);
        EXPECT_EQ(made, 1) << "made twice";
    }
}

// A family that is not installed, or a second one, costs the font lookup
// the system's whole alias and fallback lists; the fonts ask for the first
// installed family alone.
TEST(WindowFonts, AskForTheFirstInstalledFamilyAlone) {
    const QStringList installed = QFontDatabase::families();
    ASSERT_FALSE(installed.isEmpty());
    const QString present = installed.constFirst();
    struct Case {
        QStringList asked, used;
    } cases[] = {
        {{"No Such Family A", present, "No Such Family B"}, {present}},
        {{present, installed.constLast()}, {present}},
        {{"No Such Family A", "No Such Family B"}, {"No Such Family A", "No Such Family B"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowStyle::font(c.asked, 12, false).families(), c.used) << c.asked.join(',').toStdString();
        EXPECT_EQ(WindowStyle::installedFamilies(c.asked), c.used);
    }
}

} // namespace

// The start style draws the menu bar's overflow picture and hands every
// other question to the style it stands on.
TEST(StartStyle, DrawsTheOverflowPictureAndLeavesTheRestToItsBase) {
    std::unique_ptr<QStyle> start(newStartStyle(QApplication::style()->name()));
    const QIcon overflow = start->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    ASSERT_FALSE(overflow.isNull());
    const QImage picture = overflow.pixmap(16, 16).toImage();
    int inked = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            inked += qAlpha(picture.pixel(x, y)) > 128;
    EXPECT_GT(inked, 8) << "an empty picture";
    EXPECT_EQ(start->pixelMetric(QStyle::PM_ToolBarExtensionExtent),
              QApplication::style()->pixelMetric(QStyle::PM_ToolBarExtensionExtent));
    EXPECT_EQ(start->standardIcon(QStyle::SP_DialogOkButton).availableSizes(),
              QApplication::style()->standardIcon(QStyle::SP_DialogOkButton).availableSizes());
}
