// Writing a file whole or not at all: replacing, links, modes, and failures that leave the old file.
#include "marlix/core/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/small_filesystem.h"
#include "support/text.h"

namespace marlix::core {
namespace {

namespace fs = std::filesystem;
using test::FolderNames;
using test::ReadFile;

unsigned Mode(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void Put(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string Failure(const std::optional<WriteFailure>& failure) {
    return failure ? WriteFailureText(*failure) : "written";
}

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_atomic_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(AtomicFileTest, ReplacesTheFileKeepingItsPermissionBitsAndANewFileTakesTheUmask) {
    const fs::path day = dir_ / "day.txt";
    Put(day, "old text, longer than the new one");
    ::chmod(day.c_str(), 0604);
    EXPECT_EQ(Failure(WriteFileAtomically(day.string(), "new")), "written");
    EXPECT_EQ(ReadFile(day), "new");
    EXPECT_EQ(Mode(day), 0604u);

    const mode_t previous = ::umask(027);
    const auto fresh = WriteFileAtomically((dir_ / "fresh.txt").string(), "");
    ::umask(previous);
    EXPECT_EQ(Failure(fresh), "written");
    EXPECT_EQ(Mode(dir_ / "fresh.txt"), 0640u);
    EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"day.txt", "fresh.txt"}));
}

TEST_F(AtomicFileTest, StreamedInPiecesLargerAndSmallerThanItsBuffer) {
    std::string expected;
    AtomicFile file((dir_ / "big.txt").string());
    for (const std::size_t size : {10u, 70000u, 1u, 65535u, 200000u, 3u}) {
        const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
        EXPECT_TRUE(file.Write(piece));
        expected += piece;
    }
    EXPECT_FALSE(fs::exists(dir_ / "big.txt"));
    EXPECT_EQ(Failure(file.Commit()), "written");
    EXPECT_EQ(ReadFile(dir_ / "big.txt"), expected);
}

TEST_F(AtomicFileTest, ALinkStaysAndTheFileAtTheEndOfItsChainIsReplacedOrCreated) {
    fs::create_directories(dir_ / "real");
    fs::create_directories(dir_ / "links");
    Put(dir_ / "real" / "data.txt", "old");
    // Each relative link is read from its own folder.
    fs::create_symlink("../real/data.txt", dir_ / "links" / "b");
    fs::create_symlink("links/b", dir_ / "a");
    EXPECT_EQ(Failure(WriteFileAtomically((dir_ / "a").string(), "new")), "written");
    EXPECT_EQ(ReadFile(dir_ / "real" / "data.txt"), "new");
    EXPECT_EQ(fs::read_symlink(dir_ / "a"), "links/b");
    EXPECT_EQ(fs::read_symlink(dir_ / "links" / "b"), "../real/data.txt");
    EXPECT_EQ(FolderNames(dir_ / "real"), std::vector<std::string>{"data.txt"});
    EXPECT_EQ(FolderNames(dir_ / "links"), std::vector<std::string>{"b"});

    fs::create_symlink("real/made.txt", dir_ / "dangling");
    EXPECT_EQ(Failure(WriteFileAtomically((dir_ / "dangling").string(), "made")), "written");
    EXPECT_EQ(ReadFile(dir_ / "real" / "made.txt"), "made");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_ / "dangling")));

    fs::create_symlink("loop", dir_ / "loop");
    const std::string loop = (dir_ / "loop").string();
    EXPECT_EQ(Failure(WriteFileAtomically(loop, "x")),
              "cannot write " + loop + ": Too many levels of symbolic links");
    EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"a", "dangling", "links", "loop", "real"}));
}

TEST_F(AtomicFileTest, AFailureOrNoCommitLeavesTheOldFileAndNoTemporaryFile) {
    const std::string missing = (dir_ / "none" / "f.txt").string();
    EXPECT_EQ(Failure(WriteFileAtomically(missing, "x")),
              "cannot write " + missing + ": No such file or directory");
    EXPECT_EQ(Failure(WriteFileAtomically(dir_.string(), "x")),
              "cannot write " + dir_.string() + ": Is a directory");
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Failure(WriteFileAtomically(fifo, "x")), "cannot write " + fifo + ": Not a regular file");

    const fs::path day = dir_ / "day.txt";
    Put(day, "old");
    {
        AtomicFile file(day.string());
        EXPECT_TRUE(file.Write("half a day"));
        const std::vector<std::string> names = FolderNames(dir_);
        ASSERT_EQ(names.size(), 3u);
        EXPECT_EQ(names[0].substr(0, 9), ".day.txt.") << names[0];
        EXPECT_EQ(names[0].size(), 15u) << names[0];
    }
    EXPECT_EQ(ReadFile(day), "old");
    EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"day.txt", "fifo"}));
}

TEST_F(AtomicFileTest, KeepingAnExistingFileRefusesOneThatAppearsWhileWriting) {
    const fs::path day = dir_ / "day.txt";
    Put(day, "the receiver's");
    AtomicFile early(day.string(), AtomicFile::Existing::Keep);
    EXPECT_FALSE(early.Write("simulated"));
    EXPECT_EQ(Failure(early.Commit()), "cannot write " + day.string() + ": File exists");

    const fs::path next = dir_ / "next.txt";
    AtomicFile late(next.string(), AtomicFile::Existing::Keep);
    EXPECT_TRUE(late.Write("simulated"));
    Put(next, "the receiver's");
    EXPECT_EQ(Failure(late.Commit()), "cannot write " + next.string() + ": File exists");
    EXPECT_EQ(ReadFile(next), "the receiver's");
    EXPECT_EQ(ReadFile(day), "the receiver's");
    EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"day.txt", "next.txt"}));
}

TEST(AtomicFileOnAFullDisk, TheOldFileStaysWholeAndTheReasonIsNamed) {
    test::SmallFileSystem disk("64k");
    if (!disk.Problem().empty()) GTEST_SKIP() << disk.Problem();
    const fs::path day = disk.Path() / "day.txt";
    const std::string old(5000, 'o');
    Put(day, old);
    disk.Fill();

    AtomicFile file(day.string());
    bool refused = false;
    for (int i = 0; i < 8 && !refused; ++i) refused = !file.Write(std::string(20000, 'n'));
    EXPECT_TRUE(refused);
    EXPECT_EQ(Failure(file.Commit()), "cannot write " + day.string() + ": No space left on device");
    // A short one fails only when it reaches the disk.
    const std::string fresh = (disk.Path() / "fresh.txt").string();
    EXPECT_EQ(Failure(WriteFileAtomically(fresh, "x")),
              "cannot write " + fresh + ": No space left on device");

    EXPECT_EQ(ReadFile(day), old);
    EXPECT_EQ(FolderNames(disk.Path()), (std::vector<std::string>{"day.txt", "filler"}));
}

}  // namespace
}  // namespace marlix::core
