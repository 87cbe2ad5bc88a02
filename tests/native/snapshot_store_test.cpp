// Committing a fetched copy as a snapshot and the reference copy, through the site's temporary,
// on real files: the order of the two copies, failures of either (a full disk among them) and
// site folders whose paths come close to the 259-byte limit.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "acquisition/file_io.h"
#include "acquisition/files_differ.h"
#include "acquisition/site_paths.h"
#include "acquisition/snapshot_store.h"
#include "support.h"

namespace {

const char kStamp[] = "2026\x94\x4E" "12\x8C\x8E" "09\x93\xFA" "06\x8E\x9E" "30\x95\xAA" "05\x95\x62";
const size_t kSnapshotNameLength = 30;  // the stamp and ".htm"

class SnapshotStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_paths.Make(m_dir.Path().c_str(), kStamp)); }
    std::string Fetched() const { return m_paths.newPath; }
    std::string Reference() const { return m_paths.oldPath; }
    std::string Snapshot() const { return m_paths.snapshotPath; }
    bool TemporaryLeft() const { return FileExists(m_paths.tempPath); }

    TempDir m_dir;
    SitePaths m_paths;
};

TEST_F(SnapshotStoreTest, CommitWritesTheSnapshotAndTheReferenceCopy)
{
    WriteWholeFile(Fetched(), "<p>version 2</p>\r\n");
    WriteWholeFile(Reference(), "<p>version 1, a longer page</p>\r\n");
    EXPECT_EQ(CommitSnapshot(m_paths), 1);
    EXPECT_EQ(ReadWholeFile(Reference()), "<p>version 2</p>\r\n");
    EXPECT_EQ(ReadWholeFile(Snapshot()), "<p>version 2</p>\r\n");
    EXPECT_EQ(ReadWholeFile(Fetched()), "<p>version 2</p>\r\n");
    EXPECT_FALSE(TemporaryLeft());

    // Large and empty pages are copied exactly too.
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += static_cast<char>(i * 31 % 256);
    WriteWholeFile(Fetched(), big);
    EXPECT_EQ(CommitSnapshot(m_paths), 1);
    EXPECT_EQ(ReadWholeFile(Snapshot()), big);
    EXPECT_EQ(ReadWholeFile(Reference()), big);
    WriteWholeFile(Fetched(), "");
    EXPECT_EQ(CommitSnapshot(m_paths), 1);
    EXPECT_EQ(ReadWholeFile(Reference()), "");
}

TEST_F(SnapshotStoreTest, SnapshotThatCannotBeWrittenLeavesTheReferenceCopySoTheChangeIsFoundAgain)
{
    WriteWholeFile(Fetched(), "<p>fresh</p>\r\n");
    WriteWholeFile(Reference(), "<p>stale</p>\r\n");
    ASSERT_EQ(mkdir(Snapshot().c_str(), 0700), 0);  // a folder in the snapshot's place
    EXPECT_EQ(CommitSnapshot(m_paths), 0);
    EXPECT_EQ(ReadWholeFile(Reference()), "<p>stale</p>\r\n");
    EXPECT_FALSE(TemporaryLeft());
    EXPECT_EQ(CompareTextFiles(Fetched().c_str(), Reference().c_str()), 1);
}

TEST_F(SnapshotStoreTest, FullDiskDuringTheCommitChangesNothing)
{
    std::string page(300 * 1024, 'p');
    WriteWholeFile(Fetched(), page);
    WriteWholeFile(Reference(), "<p>stale</p>\r\n");
    {
        FileSizeLimit full(100 * 1024);
        EXPECT_EQ(CommitSnapshot(m_paths), 0);
    }
    EXPECT_EQ(ReadWholeFile(Reference()), "<p>stale</p>\r\n");
    EXPECT_FALSE(FileExists(Snapshot()));
    EXPECT_FALSE(TemporaryLeft());
    EXPECT_EQ(CommitSnapshot(m_paths), 1);  // room again: the change is stored
    EXPECT_EQ(ReadWholeFile(Snapshot()), page);
}

TEST_F(SnapshotStoreTest, ReferenceCopyThatCannotBeReplacedKeepsTheSnapshot)
{
    WriteWholeFile(Fetched(), "<p>fresh</p>\r\n");
    ASSERT_EQ(mkdir(Reference().c_str(), 0700), 0);
    EXPECT_EQ(CommitSnapshot(m_paths), 0);
    EXPECT_EQ(ReadWholeFile(Snapshot()), "<p>fresh</p>\r\n");
    EXPECT_FALSE(TemporaryLeft());
}

TEST_F(SnapshotStoreTest, MissingFetchedCopyLeavesEverythingAlone)
{
    WriteWholeFile(Reference(), "<p>stale</p>");
    EXPECT_EQ(CommitSnapshot(m_paths), 0);
    EXPECT_EQ(ReadWholeFile(Reference()), "<p>stale</p>");
    EXPECT_FALSE(FileExists(Snapshot()));
    EXPECT_FALSE(TemporaryLeft());
}

TEST_F(SnapshotStoreTest, LeftoverTemporaryFromAnInterruptedCopyIsReplaced)
{
    // A copy killed half-way leaves only its temporary; the destination is still whole.
    WriteWholeFile(Reference(), "<p>whole old page</p>");
    WriteWholeFile(m_paths.tempPath, "<p>half wr");
    WriteWholeFile(Fetched(), "<p>new</p>");
    EXPECT_EQ(CommitSnapshot(m_paths), 1);
    EXPECT_EQ(ReadWholeFile(Reference()), "<p>new</p>");
    EXPECT_FALSE(TemporaryLeft());
}

// A site folder whose path makes the snapshot's path exactly `length` bytes long.
std::string SiteFolderFor(const TempDir& dir, size_t length)
{
    std::string folder = dir.Path() + "/";
    folder += std::string(length - kSnapshotNameLength - 1 - folder.size(), 's');
    mkdir(folder.c_str(), 0700);
    return folder;
}

TEST(SitePathsTest, EverySiteWhosePathsFitGetsItsSnapshotAndNoLongerOneIsTouched)
{
    for (size_t length = 254; length <= 259; ++length) {
        TempDir dir;
        std::string folder = SiteFolderFor(dir, length);
        SitePaths paths;
        ASSERT_TRUE(paths.Make(folder.c_str(), kStamp)) << length;
        ASSERT_EQ(strlen(paths.snapshotPath), length);
        EXPECT_LE(strlen(paths.tempPath), strlen(paths.snapshotPath));
        WriteWholeFile(paths.newPath, "<p>page</p>\r\n");
        EXPECT_EQ(CommitSnapshot(paths), 1) << length;
        EXPECT_EQ(ReadWholeFile(paths.snapshotPath), "<p>page</p>\r\n") << length;
        EXPECT_EQ(ReadWholeFile(paths.oldPath), "<p>page</p>\r\n") << length;
    }
    TempDir dir;
    std::string folder = SiteFolderFor(dir, 260);
    SitePaths paths;
    EXPECT_FALSE(paths.Make(folder.c_str(), kStamp));  // skipped for the pass
}

}  // namespace
