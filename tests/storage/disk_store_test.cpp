// The safe writer: links, permissions, flushes, folders that refuse new
// files, and what a failed or killed save leaves behind.
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

namespace {

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

// Sets a file's times to a fixed moment long past.
void makeOld(const std::string& path) {
    const timeval past[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimes(path.c_str(), past);
}

class SafeWrite : public ::testing::Test {
protected:
    void TearDown() override {
        disk.setFaults(nullptr);
        disk.setSync(nullptr);
    }
    TempFolder dir;
};

TEST_F(SafeWrite, LinksKeepTheirFileAndTheFileItsLinks) {
    fs::create_directory(dir.file("data"));
    writeBytes(dir.file("data/real.txt"), "old");
    fs::create_symlink("data/real.txt", dir.file("199612.txt"));
    disk.writeSafely(dir.file("199612.txt"), "through the link");
    EXPECT_TRUE(fs::is_symlink(dir.file("199612.txt")));
    EXPECT_EQ(readBytes(dir.file("data/real.txt")), "through the link");
    EXPECT_EQ(entries(dir.file("data")), std::vector<std::string>{"real.txt"});

    writeBytes(dir.file("a.nik"), "old");
    fs::create_hard_link(dir.file("a.nik"), dir.file("b.nik"));
    disk.writeSafely(dir.file("a.nik"), "both names");
    EXPECT_EQ(readBytes(dir.file("b.nik")), "both names");
}

TEST_F(SafeWrite, PermissionsAreKept) {
    const mode_t oldMask = ::umask(022);
    disk.writeSafely(dir.file("new.txt"), "x");
    writeBytes(dir.file("shared.txt"), "x");
    ::chmod(dir.file("shared.txt").c_str(), 0664);
    disk.writeSafely(dir.file("shared.txt"), "y");
    ::umask(oldMask);
    EXPECT_EQ(statOf(dir.file("new.txt")).st_mode & 07777, 0644u);
    EXPECT_EQ(statOf(dir.file("shared.txt")).st_mode & 07777, 0664u);
}

TEST_F(SafeWrite, FileThenFolderAreFlushedAfterTheRename) {
    const std::string file = dir.file("20241.txt");
    writeBytes(file, "old");
    std::vector<std::string> flushed;
    disk.setSync([&](int fd) {
        struct stat st {};
        ::fstat(fd, &st);
        const bool ours = st.st_ino == statOf(dir.path()).st_ino;
        flushed.push_back(!S_ISDIR(st.st_mode) ? "file"
                          : ours               ? "folder holding " + readBytes(file)
                                               : "another folder");
        return ::fsync(fd);
    });
    disk.writeSafely(file, "new");
    EXPECT_EQ(flushed, (std::vector<std::string>{"file", "folder holding new"}));
}

TEST_F(SafeWrite, FailureAtAnyStepLeavesNoTemporaryFile) {
    const std::string file = dir.file("20241.txt");
    for (const char* step : {"open", "write", "chmod", "sync", "close", "rename", "dirsync"}) {
        SCOPED_TRACE(step);
        writeBytes(file, "old");
        disk.setFaults(
            [&](const std::string&, const std::string& at) { return at == step ? EIO : 0; });
        EXPECT_THROW(disk.writeSafely(file, "new contents"), AppError);
        disk.setFaults(nullptr);
        // Once renamed, the new file is in place; the error says it may not
        // survive a power cut.
        EXPECT_EQ(readBytes(file), std::string(step) == "dirsync" ? "new contents" : "old");
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"20241.txt"});
    }
}

TEST_F(SafeWrite, FolderThatRefusesNewFilesIsWrittenInPlace) {
    const std::string folder = dir.file("ro");
    fs::create_directory(folder);
    writeBytes(folder + "/20241.txt", "old");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((folder + "/20241.txt").c_str(), 0666);
    ::chmod(folder.c_str(), 0555);
    // Root writes anywhere: the saves run in a child as an unprivileged user.
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(9);
        try {
            disk.writeSafely(folder + "/20241.txt", "new");
            disk.writeSafely(folder + "/20242.txt", "a new file cannot be made");
        } catch (const AppError& e) {
            ::_exit(std::string(e.what()) == msg::AccessDenied ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(folder + "/20241.txt"), "new");
    EXPECT_EQ(entries(folder), std::vector<std::string>{"20241.txt"});

    // A full disk is not such a folder: the old file stays.
    int opens = 0;
    disk.setFaults([&](const std::string&, const std::string& step) {
        return step == "open" && ++opens == 1 ? ENOSPC : 0;
    });
    EXPECT_THROW(disk.writeSafely(folder + "/20241.txt", "lost half-way"), AppError);
    EXPECT_EQ(readBytes(folder + "/20241.txt"), "new");
}

TEST_F(SafeWrite, OnlyOurOwnStaleTemporaryFilesAreRemoved) {
    const std::string stale = dir.file(std::string(".20241.txt.Ab3dEf") + TempFileSuffix);
    const std::string fresh = dir.file(std::string(".20242.txt.Ab3dEf") + TempFileSuffix);
    const std::string users = dir.file("20241.txt.OdCvVi");
    for (const std::string& path : {stale, fresh, users})
        writeBytes(path, "x");
    makeOld(stale);
    makeOld(users);
    disk.writeSafely(dir.file("20241.txt"), "saved");
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{std::string(".20242.txt.Ab3dEf") + TempFileSuffix,
                                        "20241.txt", "20241.txt.OdCvVi"}));
}

// Saves killed at random moments: the file is always the whole old or the
// whole new one, and the next save clears what the killed ones left. Each
// round holds the child at a step of the save chosen at random, then lets
// it go and kills it a random while later.
TEST_F(SafeWrite, KilledSavesNeverTearTheFile) {
    const std::string file = dir.file("19983.txt");
    const std::string contents[2] = {std::string(1 << 20, 'a'), std::string(3 << 18, 'b')};
    const char* steps[] = {"open", "write", "chmod", "sync", "close", "rename", "dirsync"};
    writeBytes(file, contents[0]);
    // A killed process loses nothing the kernel holds, so flushing to the
    // disk would only slow the rounds down.
    disk.setSync([](int) { return 0; });
    std::mt19937 random(1998);
    long spinLimit = 20000;
    int killed = 0;
    // Reused: every block this process frees makes each fork slower under
    // the address sanitizer.
    std::string after;
    after.reserve(contents[0].size() + 1);
    int onDisk = 0;
    for (int round = 0; round < 200; ++round) {
        const int next = 1 - onDisk;
        const std::string step = steps[random() % std::size(steps)];
        int atStep[2], go[2];
        ASSERT_TRUE(::pipe(atStep) == 0 && ::pipe(go) == 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(atStep[0]);
            ::close(go[1]);
            disk.setFaults([&](const std::string&, const std::string& at) {
                char c;
                if (at == step && ::write(atStep[1], "s", 1) == 1) (void)!::read(go[0], &c, 1);
                return 0;
            });
            try {
                disk.writeSafely(file, contents[next]);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(atStep[1]);
        ::close(go[0]);
        // Nothing to read when the save never came to that step.
        char c;
        if (::read(atStep[0], &c, 1) == 1) ASSERT_EQ(::write(go[1], "g", 1), 1);
        const long spins = std::uniform_int_distribution<long>(0, spinLimit)(random);
        for (long i = 0; i < spins; ++i)
            asm volatile("");
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(atStep[0]);
        ::close(go[1]);
        // About as many saves killed as finished, so the kills land all
        // through the save.
        ASSERT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0);
        killed += WIFSIGNALED(status);
        spinLimit = WIFSIGNALED(status) ? spinLimit * 5 / 4 + 1 : spinLimit * 3 / 4 + 1;
        after.clear();
        const int fd = ::open(file.c_str(), O_RDONLY);
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            after.append(buffer, static_cast<std::size_t>(n));
        ::close(fd);
        if (after == contents[next]) onDisk = next;
        ASSERT_TRUE(after == contents[onDisk]) << "round " << round << " at " << step;
    }
    EXPECT_GT(killed, 0);
    for (const std::string& name : entries(dir.path()))
        makeOld(dir.file(name));
    disk.writeSafely(file, "last");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"19983.txt"});
}

// Several files in one go: one flush of their bytes, the renames, one flush
// of the folder (a deferred batch leaves that to flush()); a fault at any
// step leaves every file whole and no temporary file behind.
TEST_F(SafeWrite, ABatchIsFlushedOnceAndAFaultLeavesEachFileWhole) {
    struct Case {
        const char* step; // planted on the second file ("sync" is asked once, at the first)
        const char* file;
        bool firstIsNew;
    } cases[] = {{"", "", true},
                 {"open", "b.txt", false},
                 {"write", "b.txt", false},
                 {"chmod", "b.txt", false},
                 {"sync", "a.txt", false},
                 {"close", "b.txt", false},
                 {"rename", "b.txt", true}};
    for (const bool deferred : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.step) + (deferred ? ", deferred" : ""));
            TempFolder folder;
            for (const char* name : {"a.txt", "b.txt", "c.txt"})
                writeBytes(folder.file(name), std::string("old ") + name);
            std::vector<std::string> steps;
            disk.setFaults([&](const std::string& path, const std::string& step) {
                steps.push_back(step);
                return step == c.step && path == folder.file(c.file) ? ENOSPC : 0;
            });
            int flushes = 0;
            disk.setSync([&](int) { return ++flushes, 0; });
            const std::vector<std::pair<std::string, std::string>> batch = {
                {folder.file("a.txt"), "new a"},
                {folder.file("b.txt"), "new b"},
                {folder.file("c.txt"), "new c"}};
            const auto write = [&] {
                if (deferred)
                    disk.writeAllDeferred(batch);
                else
                    disk.writeAllSafely(batch);
            };
            if (*c.step) {
                EXPECT_THROW(write(), AppError);
            } else {
                write();
                EXPECT_EQ(flushes, deferred ? 1 : 2) << "the files' bytes once, the folder once";
                EXPECT_LT(std::find(steps.begin(), steps.end(), "sync") - steps.begin(),
                          std::find(steps.begin(), steps.end(), "rename") - steps.begin());
                EXPECT_EQ(steps.back(), deferred ? "rename" : "dirsync");
                if (deferred) {
                    disk.flush(folder.path());
                    EXPECT_EQ(flushes, 2) << "the folder, when asked";
                    EXPECT_EQ(steps.back(), "dirsync");
                }
            }
            EXPECT_EQ(readBytes(folder.file("a.txt")), c.firstIsNew ? "new a" : "old a.txt");
            EXPECT_EQ(readBytes(folder.file("b.txt")), *c.step ? "old b.txt" : "new b");
            EXPECT_EQ(readBytes(folder.file("c.txt")), *c.step ? "old c.txt" : "new c");
            EXPECT_EQ(entries(folder.path()),
                      (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
        }
}

// One file deferred still has its bytes on the disk before its new name.
TEST_F(SafeWrite, ADeferredFileIsFlushedBeforeItsRenameAndItsFolderOnlyWhenAsked) {
    writeBytes(dir.file("a.txt"), "old");
    std::vector<std::string> steps;
    disk.setFaults([&](const std::string&, const std::string& step) {
        steps.push_back(step);
        return 0;
    });
    disk.setSync([](int) { return 0; });
    disk.writeAllDeferred({{dir.file("a.txt"), "new"}});
    EXPECT_EQ(steps,
              (std::vector<std::string>{"open", "write", "chmod", "sync", "close", "rename"}));
    EXPECT_EQ(readBytes(dir.file("a.txt")), "new");
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "dirsync" ? EIO : 0; });
    EXPECT_THROW(disk.flush(dir.path()), AppError) << "a folder that cannot be flushed says so";
}

// What the rules ask of the disk besides reading and writing.
TEST_F(SafeWrite, ListsStampsAndFreeSpaceOfPresentAndMissingFiles) {
    writeBytes(dir.file("b.txt"), "b");
    writeBytes(dir.file(".hidden"), "h");
    makeOld(dir.file("b.txt"));
    std::vector<std::string> names;
    ASSERT_EQ(disk.list(dir.path(), names), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "b.txt"}));
    EXPECT_EQ(disk.list(dir.file("none"), names), ENOENT);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(disk.modifiedTime(dir.file("b.txt")), 1000000000);
    EXPECT_EQ(disk.modifiedTime(dir.file("none")), -1);
    EXPECT_LT(disk.freeSpace(dir.path()), UINT64_MAX);
    EXPECT_EQ(disk.freeSpace(dir.file("none")), UINT64_MAX);
    EXPECT_TRUE(disk.stamp(dir.file("b.txt")).exists);
    EXPECT_FALSE(disk.stamp(dir.file("none/b.txt")).exists);
}

// A line added to a growing file either arrives whole or not at all.
TEST_F(SafeWrite, AFailedAppendLeavesTheFileAsItWas) {
    for (const char* step : {"open", "write", "sync"}) {
        SCOPED_TRACE(step);
        writeBytes(dir.file("log.txt"), "one\r\n");
        disk.setFaults(
            [step](const std::string&, const std::string& at) { return at == step ? ENOSPC : 0; });
        EXPECT_THROW(disk.appendDurably(dir.file("log.txt"), "two\r\n"), AppError);
        disk.setFaults(nullptr);
        EXPECT_EQ(readBytes(dir.file("log.txt")), "one\r\n");
    }
    disk.appendDurably(dir.file("log.txt"), "two\r\n");
    EXPECT_EQ(readBytes(dir.file("log.txt")), "one\r\ntwo\r\n");
}

} // namespace
