// The colour rules every window's text goes through: the contrast measure,
// the nearest readable shade, and the palette the program starts with.
#include "shell/theme.h"

#include <QPalette>
#include <gtest/gtest.h>

namespace {

TEST(Theme, ContrastIsTheGuidelinesRatio) {
    struct Case {
        QColor a, b;
        double ratio;
    } cases[] = {
        {Qt::black, Qt::white, 21.0},
        {Qt::white, Qt::black, 21.0},
        {QColor(0x77, 0x77, 0x77), Qt::white, 4.48},
        {QColor(0, 255, 255), QColor(0xf0, 0xf0, 0xf0), 1.1},
        {Qt::red, Qt::red, 1.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Theme::contrast(c.a, c.b), c.ratio, 0.01) << c.a.name().toStdString();
}

TEST(Theme, ReadableKeepsAGoodColourAndMendsAFaintOneTowardsTheFarEnd) {
    const QColor dark(0x32, 0x32, 0x32), light(0xef, 0xef, 0xef);
    struct Case {
        QColor wanted, background;
        bool kept;
        bool lighter; // when mended
    } cases[] = {
        {Qt::black, light, true, false},
        {QColor(0xd0, 0x10, 0x10), dark, false, true},
        {QColor(0x10, 0x40, 0xd0), dark, false, true},
        {QColor(0, 255, 255), light, false, false},
        {QColor(0x80, 0x80, 0x80), QColor(0x80, 0x80, 0x80), false, false},
        {QColor(0xf0, 0xf0, 0xf0), dark, true, false},
    };
    for (const Case& c : cases) {
        const QColor got = Theme::readable(c.wanted, c.background);
        const std::string what =
            c.wanted.name().toStdString() + " on " + c.background.name().toStdString();
        EXPECT_GE(Theme::contrast(got, c.background), Theme::MinContrast) << what;
        EXPECT_EQ(got == c.wanted, c.kept) << what;
        if (!c.kept) {
            EXPECT_EQ(got.lightness() > c.wanted.lightness(), c.lighter) << what;
        }
    }
}

TEST(Theme, TheLightLookKeepsCyanAndBlackAndADarkOneReadsLight) {
    QPalette light;
    light.setColor(QPalette::Window, QColor(0xef, 0xef, 0xef));
    light.setColor(QPalette::WindowText, Qt::black);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
    dark.setColor(QPalette::WindowText, QColor(0xf0, 0xf0, 0xf0));
    EXPECT_FALSE(Theme::isDark(light));
    EXPECT_TRUE(Theme::isDark(dark));
    EXPECT_EQ(Theme::barColour(light), QColor(0, 255, 255));
    EXPECT_EQ(Theme::ink(light), QColor(Qt::black));
    EXPECT_EQ(Theme::ink(dark), QColor(0xf0, 0xf0, 0xf0));
    EXPECT_GE(Theme::contrast(Theme::ink(dark), Theme::barColour(dark)), Theme::MinContrast);
}

TEST(Theme, TheStartingPaletteMendsEveryFaintPairAndLeavesTheRest) {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xef, 0xef, 0xef));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6)); // 3.7:1 with white
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
    p.setColor(QPalette::ToolTipText, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0xbe, 0xbe, 0xbe));
    const QPalette m = Theme::accessible(p);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        EXPECT_GE(
            Theme::contrast(m.color(g, QPalette::HighlightedText), m.color(g, QPalette::Highlight)),
            Theme::MinContrast);
        EXPECT_GE(
            Theme::contrast(m.color(g, QPalette::ToolTipText), m.color(g, QPalette::ToolTipBase)),
            Theme::MinContrast);
        // The text keeps its colour: the background moves.
        EXPECT_EQ(m.color(g, QPalette::HighlightedText), QColor(Qt::white));
        EXPECT_EQ(m.color(g, QPalette::Window), QColor(0xef, 0xef, 0xef));
    }
    // Inactive controls are not held to it.
    EXPECT_EQ(m.color(QPalette::Disabled, QPalette::Text), QColor(0xbe, 0xbe, 0xbe));
}

} // namespace
