// Starts in a row, each killed once its window showed, as a user's session
// ends: every start must bring the main window up, on an X server and
// offscreen alike.
#include "tests/support/file_support.h"
#include "tests/support/window_start.h"

#include <gtest/gtest.h>

namespace {

void expectStartsInARow(const std::string& dir, const std::vector<std::string>& env) {
    const int starts = std::getenv("ZADUD_STARTS") ? std::atoi(std::getenv("ZADUD_STARTS")) : 6;
    for (int i = 0; i < starts; ++i) {
        const window_start::Start s = window_start::startOnce(ZADUD_BINARY, dir, env, 30000);
        ASSERT_TRUE(s.shown) << "start " << i + 1 << " of " << starts << ":\n" << s.errors;
    }
}

class StartsInARow : public ::testing::Test {
protected:
    void SetUp() override { writeBytes(dir.file("ZADUD.CFG"), "kamo1=a\r\nkamo2=b\r\n"); }
    TempFolder dir;
};

TEST_F(StartsInARow, OnAnXServer) {
    window_start::XServer x;
    if (!x.started()) GTEST_SKIP() << "no Xvfb on this machine";
    expectStartsInARow(dir.path(),
                       {"DISPLAY=" + x.display(), "QT_QPA_PLATFORM=", "WAYLAND_DISPLAY="});
}

TEST_F(StartsInARow, Offscreen) {
    expectStartsInARow(dir.path(), {"QT_QPA_PLATFORM=offscreen"});
}

} // namespace
