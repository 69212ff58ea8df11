// Starts in a row, each killed once its window showed, as a user's session
// ends: every start must bring the main window up, on an X server and
// offscreen alike.
#include "app/display_wait.h"
#include "tests/support/file_support.h"
#include "tests/support/window_start.h"

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// A start while the X server is still coming up (a session's first moment)
// waits for it instead of failing with "could not load the Qt platform
// plugin xcb".
TEST_F(StartsInARow, WhileTheXServerIsStillComingUp) {
    if (!window_start::onPath("Xvfb")) GTEST_SKIP() << "no Xvfb on this machine";
    int number = 300;
    while (number < 400 && (fileExists("/tmp/.X11-unix/X" + std::to_string(number)) ||
                            fileExists("/tmp/.X" + std::to_string(number) + "-lock")))
        ++number;
    std::unique_ptr<window_start::XServer> late;
    const window_start::Start s = window_start::startOnce(
        ZADUD_BINARY, dir.path(),
        {"DISPLAY=:" + std::to_string(number), "QT_QPA_PLATFORM=", "WAYLAND_DISPLAY="}, 20000, 0,
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            late = std::make_unique<window_start::XServer>(number);
        });
    EXPECT_TRUE(s.shown) << s.errors;
    EXPECT_EQ(s.errors.find("could not connect"), std::string::npos) << s.errors;
}

TEST(DisplaySocket, LocalDisplaysOnlyAndTheirNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {":0", "/tmp/.X11-unix/X0"},
        {":12.1", "/tmp/.X11-unix/X12"},
        {"unix:3", "/tmp/.X11-unix/X3"},
        {"host:0", ""},
        {":", ""},
        {":1x", ""},
        {"", ""},
    };
    for (const auto& [display, socket] : cases)
        EXPECT_EQ(localDisplaySocket(display), socket) << display;
}

TEST_F(StartsInARow, Offscreen) {
    expectStartsInARow(dir.path(), {"QT_QPA_PLATFORM=offscreen"});
}

// Started where no desktop session is logged in: no word on standard error
// about the missing runtime folder.
TEST_F(StartsInARow, WithoutARuntimeFolder) {
    const window_start::Start s = window_start::startOnce(
        ZADUD_BINARY, dir.path(), {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR="}, 30000);
    ASSERT_TRUE(s.shown) << s.errors;
    EXPECT_EQ(s.errors.find("XDG_RUNTIME_DIR"), std::string::npos) << s.errors;
}

} // namespace
