#include "ledger/errors.h"
#include "ledger/pc_presence.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

namespace {

TEST(PcPresence, NamesGoIntoFileNamesSafely) {
    const struct {
        std::string raw, pc;
    } cases[] = {
        {"living-room_2", "living-room_2"},
        {"a/b\\c d", "a_b_c_d"},
        {"", "pc"},
    };
    for (const auto& c : cases) {
        const std::string file = presenceFileName(c.raw);
        EXPECT_EQ(file, "ZADUD-" + c.pc + ".RUN") << c.raw;
        std::string pc;
        EXPECT_TRUE(isPresenceFileName(file, &pc));
        EXPECT_EQ(pc, c.pc);
    }
    for (const char* other :
         {"ZADUD-.RUN", "ZADUD.JNL", "ZADUD-A.JNL", "XZADUD-A.RUN", "ZADUD-A.RU"})
        EXPECT_FALSE(isPresenceFileName(other)) << other;
}

TEST(PcPresence, ReadsOnlyWholeFiles) {
    const Presence p{"居間", 1000, 1060};
    EXPECT_EQ(presenceBytes(p), "PC=居間\r\nSTART=1000\r\nBEAT=1060\r\n");
    const struct {
        std::string bytes;
        bool ok;
    } cases[] = {
        {presenceBytes(p), true},
        {"BEAT=1060\r\nPC=居間\r\nSTART=1000\r\n", true}, // any order
        {"PC=居間\r\nSTART=1000\r\n", false},
        {"PC=\r\nSTART=1000\r\nBEAT=1060\r\n", false},
        {"PC=居間\r\nSTART=1000\r\nBEAT=10x0\r\n", false},
        {"PC=居間\r\nSTART=-5\r\nBEAT=1060\r\n", false},
        {"PC=居間\r\nSTART=1000\r\nBEAT=\r\n", false},
        {"PC=居間\r\nSTART=1000\r\nBEAT=1060\r\ngarbage\r\n", false},
    };
    for (const auto& c : cases) {
        Presence read{"before", 1, 2};
        EXPECT_EQ(parsePresence(c.bytes, read), c.ok) << c.bytes;
        EXPECT_EQ(read, c.ok ? p : (Presence{"before", 1, 2})) << c.bytes;
    }
}

TEST(PcPresence, ABeatIsFreshForItsSpanOnEitherSide) {
    const struct {
        int64_t beat;
        bool fresh;
    } cases[] = {{1000, true}, {821, true}, {820, false}, {1179, true}, {1180, false}, {0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(beatIsFresh(c.beat, 1000, 180), c.fresh) << c.beat;
}

TEST(PcPresence, OtherPcsOpenAreThoseWithAFreshBeat) {
    TempFolder dir;
    DiskStore disk;
    auto put = [&](const std::string& file, const Presence& p) {
        writeBytes(dir.file(file), presenceBytes(p));
    };
    put("ZADUD-own.RUN", {"own", 0, 1000});
    put("ZADUD-B.RUN", {"B", 0, 990});
    put("ZADUD-C.RUN", {"C", 0, 500});    // crashed long ago
    put("ZADUD-E.RUN", {"own", 0, 1000}); // our own file, copied under another name
    put("ZADUD-F.RUN", {"F", 0, 1100});   // a clock a little ahead
    put("ZADUD-B2.RUN", {"B", 0, 995});
    writeBytes(dir.file("ZADUD-G.RUN"), "damaged");
    put("ZADUD-H.JNL", {"H", 0, 1000});
    EXPECT_EQ(otherPcsOpen(disk, dir.path(), "own", 1000, 180),
              (std::vector<std::string>{"B", "F"}));
    EXPECT_TRUE(otherPcsOpen(disk, dir.file("missing"), "own", 1000, 180).empty());
}

// Refuses every write and removal, as a full or read-only disk would.
class RefusingStore : public ForwardingStore {
public:
    using ForwardingStore::ForwardingStore;
    bool refuse = false;
    void writeSafely(const std::string& path, const std::string& bytes) override {
        if (refuse) throw AppError("I/O ｴﾗｰ (28)");
        ForwardingStore::writeSafely(path, bytes);
    }
    void remove(const std::string& path) override {
        if (refuse) throw AppError("I/O ｴﾗｰ (30)");
        ForwardingStore::remove(path);
    }
};

TEST(PcPresence, TheHeartbeatKeepsItsStartAndLeavesNoFileBehind) {
    TempFolder one, two;
    DiskStore disk;
    RefusingStore files(disk);
    int64_t now = 100;
    auto read = [](const std::string& path) {
        Presence p;
        EXPECT_TRUE(parsePresence(readBytes(path), p)) << path;
        return p;
    };
    {
        Heartbeat heart(files, "居間 PC", [&now] { return now; });
        EXPECT_EQ(heart.path(), "");
        heart.beat(one.path());
        const std::string first = one.file(presenceFileName("居間 PC"));
        EXPECT_EQ(heart.path(), first);
        EXPECT_EQ(read(first), (Presence{"居間 PC", 100, 100}));
        now = 160;
        heart.beat(one.path());
        EXPECT_EQ(read(first), (Presence{"居間 PC", 100, 160}));
        // A refused beat is no error: the note is advice.
        files.refuse = true;
        now = 220;
        EXPECT_NO_THROW(heart.beat(one.path()));
        EXPECT_EQ(read(first), (Presence{"居間 PC", 100, 160}));
        files.refuse = false;
        // Another ledger folder: the file moves with the book.
        heart.beat(two.path());
        EXPECT_FALSE(fileExists(first));
        EXPECT_EQ(read(two.file(presenceFileName("居間 PC"))), (Presence{"居間 PC", 220, 220}));
        heart.stop();
        EXPECT_FALSE(fileExists(two.file(presenceFileName("居間 PC"))));
        heart.beat(two.path());
    }
    EXPECT_FALSE(fileExists(two.file(presenceFileName("居間 PC"))));
}

} // namespace
