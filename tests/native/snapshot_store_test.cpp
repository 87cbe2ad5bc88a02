// Committing a fetched copy as the reference copy and a snapshot, through temporaries.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/file_io.h"
#include "acquisition/snapshot_store.h"
#include "support.h"

namespace {

class SnapshotStoreTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return m_dir.File(name); }
    TempDir m_dir;
};

TEST_F(SnapshotStoreTest, CopiesTheFetchedCopyToReferenceAndSnapshot)
{
    WriteWholeFile(Path("new.htm"), "<p>version 2</p>\r\n");
    WriteWholeFile(Path("old.htm"), "<p>version 1, a longer page</p>\r\n");
    EXPECT_EQ(CommitSnapshot(Path("new.htm").c_str(), Path("old.htm").c_str(), Path("snap.htm").c_str()), 1);
    EXPECT_EQ(ReadWholeFile(Path("old.htm")), "<p>version 2</p>\r\n");
    EXPECT_EQ(ReadWholeFile(Path("snap.htm")), "<p>version 2</p>\r\n");
    EXPECT_EQ(ReadWholeFile(Path("new.htm")), "<p>version 2</p>\r\n");
    EXPECT_FALSE(FileExists(Path("old.htm.part")));
    EXPECT_FALSE(FileExists(Path("snap.htm.part")));
}

TEST_F(SnapshotStoreTest, SnapshotIsMadeEvenWhenTheReferenceCopyFails)
{
    WriteWholeFile(Path("new.htm"), "<p>fresh</p>");
    std::string unreachable = Path("no-such-folder/old.htm");
    EXPECT_EQ(CommitSnapshot(Path("new.htm").c_str(), unreachable.c_str(), Path("snap.htm").c_str()), 0);
    EXPECT_EQ(ReadWholeFile(Path("snap.htm")), "<p>fresh</p>");
    EXPECT_FALSE(FileExists(unreachable));
}

TEST_F(SnapshotStoreTest, ReferenceIsUpdatedEvenWhenTheSnapshotFails)
{
    WriteWholeFile(Path("new.htm"), "<p>fresh</p>");
    WriteWholeFile(Path("old.htm"), "<p>stale</p>");
    EXPECT_EQ(CommitSnapshot(Path("new.htm").c_str(), Path("old.htm").c_str(), Path("gone/snap.htm").c_str()), 0);
    EXPECT_EQ(ReadWholeFile(Path("old.htm")), "<p>fresh</p>");
}

TEST_F(SnapshotStoreTest, MissingFetchedCopyLeavesEverythingAlone)
{
    WriteWholeFile(Path("old.htm"), "<p>stale</p>");
    EXPECT_EQ(CommitSnapshot(Path("new.htm").c_str(), Path("old.htm").c_str(), Path("snap.htm").c_str()), 0);
    EXPECT_EQ(ReadWholeFile(Path("old.htm")), "<p>stale</p>");
    EXPECT_FALSE(FileExists(Path("snap.htm")));
    EXPECT_FALSE(FileExists(Path("old.htm.part")));
}

TEST_F(SnapshotStoreTest, LeftoverTemporaryFromAnInterruptedCopyIsReplaced)
{
    // A copy killed half-way leaves only its temporary; the destination is still whole.
    WriteWholeFile(Path("old.htm"), "<p>whole old page</p>");
    WriteWholeFile(Path("old.htm.part"), "<p>half wr");
    WriteWholeFile(Path("new.htm"), "<p>new</p>");
    EXPECT_EQ(ReadWholeFile(Path("old.htm")), "<p>whole old page</p>");
    EXPECT_TRUE(ReplaceFileAtomically(Path("new.htm").c_str(), Path("old.htm").c_str()));
    EXPECT_EQ(ReadWholeFile(Path("old.htm")), "<p>new</p>");
    EXPECT_FALSE(FileExists(Path("old.htm.part")));
}

TEST_F(SnapshotStoreTest, CopiesLargeAndEmptyFilesExactly)
{
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += static_cast<char>(i * 31 % 256);
    WriteWholeFile(Path("big.htm"), big);
    EXPECT_TRUE(ReplaceFileAtomically(Path("big.htm").c_str(), Path("copy.htm").c_str()));
    EXPECT_EQ(ReadWholeFile(Path("copy.htm")), big);
    WriteWholeFile(Path("empty.htm"), "");
    EXPECT_TRUE(ReplaceFileAtomically(Path("empty.htm").c_str(), Path("copy.htm").c_str()));
    EXPECT_EQ(ReadWholeFile(Path("copy.htm")), "");
}

TEST_F(SnapshotStoreTest, DestinationWhoseTemporaryNameIsTooLongIsRefused)
{
    WriteWholeFile(Path("new.htm"), "<p>new</p>");
    // The temporary adds 5 bytes: a 256-byte destination would need a 261-byte temporary name.
    std::string dest = m_dir.Path() + "/";
    dest += std::string(256 - dest.size(), 'd');
    ASSERT_EQ(dest.size(), 256u);
    EXPECT_FALSE(ReplaceFileAtomically(Path("new.htm").c_str(), dest.c_str()));
    EXPECT_FALSE(FileExists(dest));
}

}  // namespace
