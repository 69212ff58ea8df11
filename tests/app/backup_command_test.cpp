// zadud --backup / --restore run as the user runs them, in a data folder
// whose ledger and diary folders are elsewhere.
#include "tests/support/file_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <utility>

namespace {

std::pair<int, std::string> run(const TempFolder& tmp, const std::string& args,
                                const std::string& program = ZADUD_BINARY) {
    const std::string line = "cd '" + tmp.file("data") + "' && '" + program + "' " + args +
                             " >'" + tmp.file("out.txt") + "' 2>&1";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(tmp.file("out.txt"))};
}

} // namespace

TEST(BackupCommand, BackupThenRestoreRefusesToReplaceUnlessForcedAndGivesBackEveryByte) {
    TempFolder tmp;
    for (const char* d : {"data", "ledger", "diary"})
        std::filesystem::create_directories(tmp.file(d));
    const std::string cfg =
        "ZADUD=" + tmp.file("ledger") + "\r\nMEMO=" + tmp.file("diary") + "\r\n";
    const std::string month = tmp.file("ledger/199612.txt"), day = tmp.file("diary/19961224.nik");
    writeBytes(tmp.file("data/ZADUD.CFG"), cfg);
    writeBytes(month, "\x90\x48\x94\xef,0,00000100,\r\n");
    writeBytes(day, "\x83\x4e\x83\x8a\x83\x58\x83\x7d\x83\x58\r\n");

    auto [code, out] = run(tmp, "--backup ../book.zip");
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(out.find("ledger/199612.txt"), std::string::npos) << out;

    writeBytes(month, "changed\r\n");
    std::filesystem::remove(day);
    std::tie(code, out) = run(tmp, "--restore ../book.zip");
    EXPECT_EQ(code, 1) << out;
    EXPECT_NE(out.find("置換 " + month), std::string::npos) << out;
    EXPECT_NE(out.find("新規 " + day), std::string::npos) << out;
    EXPECT_EQ(readBytes(month), "changed\r\n");
    EXPECT_FALSE(fileExists(day));

    std::tie(code, out) = run(tmp, "--restore ../book.zip --force");
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(readBytes(month), "\x90\x48\x94\xef,0,00000100,\r\n");
    EXPECT_EQ(readBytes(day), "\x83\x4e\x83\x8a\x83\x58\x83\x7d\x83\x58\r\n");
    EXPECT_EQ(readBytes(tmp.file("data/ZADUD.CFG")), cfg);
    // What the forced restore replaced is kept.
    EXPECT_NE(readBytes(tmp.file("data/backup/BACKUP.IDX")).find(",L,"), std::string::npos);

    writeBytes(tmp.file("bad.zip"), "not a zip");
    std::tie(code, out) = run(tmp, "--restore ../bad.zip");
    EXPECT_EQ(code, 2) << out;
    std::tie(code, out) = run(tmp, "--backup ../missing/book.zip");
    EXPECT_EQ(code, 2) << out;
}

// The archive is written by the parts loaded on first use; a program whose
// parts are missing says so and writes nothing.
TEST(BackupCommand, WithoutItsLateLibraryTheProgramSaysSoAndWritesNothing) {
    TempFolder tmp;
    std::filesystem::create_directories(tmp.file("data"));
    std::filesystem::create_directories(tmp.file("alone"));
    writeBytes(tmp.file("data/ZADUD.CFG"), "kamo1=A\r\n");
    const std::string alone = tmp.file("alone/zadud");
    std::filesystem::copy_file(ZADUD_BINARY, alone);
    std::filesystem::permissions(alone, std::filesystem::perms::owner_all);
    const auto [code, out] = run(tmp, "--backup ../book.zip", alone);
    EXPECT_NE(code, 0) << out;
    EXPECT_NE(out.find("部品を読み込めません"), std::string::npos) << out;
    EXPECT_NE(out.find("zadud_late.so"), std::string::npos) << out;
    EXPECT_FALSE(fileExists(tmp.file("book.zip")));
}
