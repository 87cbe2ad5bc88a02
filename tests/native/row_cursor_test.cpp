// Keeping the worker's row in step with a list the user changes meanwhile: sites registered
// (inserted at the top, or anywhere) and deleted (above, below, the row in hand itself) during a
// turn, checked case by case and over whole passes against a model of the list.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "acquisition/row_cursor.h"

namespace {

TEST(RowCursorTest, TurnWithoutChangesMovesToTheNextRow)
{
    RowCursor cursor;
    EXPECT_FALSE(cursor.InHand());
    cursor.Begin(2);
    EXPECT_TRUE(cursor.InHand());
    EXPECT_EQ(cursor.Row(), 2);
    bool stillThere = false;
    EXPECT_EQ(cursor.End(&stillThere), 3);
    EXPECT_TRUE(stillThere);
    EXPECT_FALSE(cursor.InHand());
    EXPECT_EQ(cursor.End(&stillThere), -1);  // no turn under way
    EXPECT_FALSE(stillThere);
}

TEST(RowCursorTest, RowsInsertedAtOrAboveMoveTheRowInHandDown)
{
    RowCursor cursor;
    cursor.Begin(3);
    cursor.RowInserted(0);  // a registration: the new row goes on top
    cursor.RowInserted(5);  // below: no effect
    cursor.RowInserted(4);  // at the row's own position: it moves down
    EXPECT_EQ(cursor.Row(), 5);
    bool stillThere = false;
    EXPECT_EQ(cursor.End(&stillThere), 6);
    EXPECT_TRUE(stillThere);
}

TEST(RowCursorTest, RowsDeletedAboveMoveItUpAndBelowChangeNothing)
{
    RowCursor cursor;
    cursor.Begin(3);
    cursor.RowDeleted(0);
    cursor.RowDeleted(5);
    EXPECT_EQ(cursor.Row(), 2);
    EXPECT_TRUE(cursor.InHand());
    bool stillThere = false;
    EXPECT_EQ(cursor.End(&stillThere), 3);
}

TEST(RowCursorTest, DeletingTheRowInHandEndsItsTurnWithoutANameBack)
{
    RowCursor cursor;
    cursor.Begin(3);
    cursor.RowDeleted(3);
    EXPECT_FALSE(cursor.InHand());  // its site can no longer be read or written
    cursor.RowDeleted(3);           // then the next row, now standing there
    cursor.RowInserted(0);          // and a registration on top
    bool stillThere = true;
    EXPECT_EQ(cursor.End(&stillThere), 4);  // the row after both deleted ones, moved down
    EXPECT_FALSE(stillThere);
}

TEST(RowCursorTest, ChangesBetweenTurnsAreNotTracked)
{
    RowCursor cursor;
    cursor.RowInserted(0);
    cursor.RowDeleted(0);
    EXPECT_FALSE(cursor.InHand());
    cursor.Begin(0);
    cursor.Reset();
    EXPECT_FALSE(cursor.InHand());
}

// A list of sites changed at random while a worker walks it, as the window and the worker do:
// every site that is in the list from the start to the end of the pass is visited once, in
// order; every site ends its turn showing its own name; a site's URL is only read while its row
// is in hand.
TEST(RowCursorTest, PassesOverAListThatChangesMeanwhile)
{
    std::mt19937 random(20261209);
    for (int pass = 0; pass < 2000; ++pass) {
        std::vector<std::string> shown;  // column 0 of each row
        std::vector<std::string> sites;  // the site of each row
        int next = 0;
        for (int i = 0; i < 6; ++i) {
            sites.push_back("site" + std::to_string(next++));
            shown.push_back(sites.back());
        }
        std::vector<std::string> initial = sites;
        std::vector<std::string> visited;
        std::vector<std::string> deleted;
        RowCursor cursor;
        auto change = [&] {
            int what = static_cast<int>(random() % 4);
            if (what == 0) {
                sites.insert(sites.begin(), "site" + std::to_string(next++));
                shown.insert(shown.begin(), sites.front());
                cursor.RowInserted(0);
            } else if (what == 1 && !sites.empty()) {
                int row = static_cast<int>(random() % sites.size());
                deleted.push_back(sites[row]);
                sites.erase(sites.begin() + row);
                shown.erase(shown.begin() + row);
                cursor.RowDeleted(row);
            }
        };
        int row = 0;
        while (row >= 0 && row < static_cast<int>(sites.size())) {
            std::string saved = shown[row];
            shown[row] = "fetching";
            cursor.Begin(row);
            std::string site = sites[row];
            for (int step = 0; step < 3; ++step) {
                change();
                if (cursor.InHand()) {
                    ASSERT_EQ(sites[cursor.Row()], site);
                    shown[cursor.Row()] = "processing";
                }
            }
            visited.push_back(site);
            int inHand = cursor.Row();
            bool stillThere = false;
            row = cursor.End(&stillThere);
            if (stillThere)
                shown[inHand] = saved;
        }
        ASSERT_EQ(shown, sites) << "every row shows its own name";
        std::vector<std::string> kept;
        for (const std::string& s : initial) {
            bool gone = false;
            for (const std::string& d : deleted)
                gone = gone || d == s;
            if (!gone)
                kept.push_back(s);
        }
        std::vector<std::string> keptVisited;
        for (const std::string& s : visited) {
            for (const std::string& k : kept) {
                if (k == s)
                    keptVisited.push_back(s);
            }
        }
        ASSERT_EQ(keptVisited, kept) << "each site kept all along is visited once, in order";
    }
}

}  // namespace
