// Firefox's history cleared in places.sqlite files made here with the real shape
// of Firefox's tables: bookmarks (and what they point at) survive row for row,
// a database in use is left at once, and nothing but a plain places database at
// the path asked for is ever written.
#include <gtest/gtest.h>
#include <windows.h>

#include <sqlite3.h>

#include <string>

#include "places_support.h"
#include "support/qvtest.h"
#include "tray/wash/places.h"

namespace {

using placest::Dump;
using placest::Exec;
using placest::MakePlaces;

std::string Bytes(const std::string& path) {
  std::string bytes;
  if (!qvt::ReadFile(path, &bytes)) bytes = "<unreadable>";
  return bytes;
}

PlacesResult Clear(const std::string& path, bool preview, PlacesCounts* counts) {
  return ClearFirefoxHistory(qvt::LongPath(path).c_str(), preview, counts);
}

class PlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = qvt::TempFolder();
    path = folder + "places.sqlite";
  }
  void TearDown() override { qvt::RemoveTree(folder); }

  std::string folder, path;
};

const char kAllBookmarks[] = "SELECT * FROM moz_bookmarks ORDER BY id";
const char kAllPlaces[] =
    "SELECT id, url, title, visit_count, last_visit_date, frecency, guid FROM moz_places ORDER BY id";

// The preview first: it counts what the wash then removes and changes no byte.
TEST_F(PlacesTest, HistoryGoesAndBookmarksStayRowForRow) {
  MakePlaces(path);
  std::string bookmarks = Dump(path, kAllBookmarks);
  std::string keywords = Dump(path, "SELECT * FROM moz_keywords ORDER BY id");
  std::string annos = Dump(path, "SELECT * FROM moz_annos ORDER BY id");
  ASSERT_NE(std::string::npos, bookmarks.find("bookmark0002"));
  std::string before = Bytes(path);
  PlacesCounts preview, counts;
  ASSERT_EQ(kPlacesDone, Clear(path, true, &preview));
  EXPECT_TRUE(before == Bytes(path)) << "the file changed";

  ASSERT_EQ(kPlacesDone, Clear(path, false, &counts));
  for (const PlacesCounts& c : {preview, counts}) {
    EXPECT_EQ(8, c.visits);
    EXPECT_EQ(2, c.places);  // the diary and the other page
    EXPECT_EQ(4, c.kept);
  }
  EXPECT_EQ("0|\n", Dump(path, "SELECT count(*) FROM moz_historyvisits"));
  EXPECT_EQ("0|\n", Dump(path, "SELECT count(*) FROM moz_inputhistory"));
  EXPECT_EQ(bookmarks, Dump(path, kAllBookmarks));
  EXPECT_EQ(keywords, Dump(path, "SELECT * FROM moz_keywords ORDER BY id"));
  EXPECT_EQ(annos, Dump(path, "SELECT * FROM moz_annos ORDER BY id"));
  // The pages a bookmark, keyword or annotation needs, without their visits.
  EXPECT_EQ(
      "1|https://bank.example/|My Bank|0|NULL|0|placeguid001|\n"
      "2|https://news.example/today|News|0|NULL|0|placeguid002|\n"
      "4|https://search.example/?q=%s|Search|0|NULL|0|placeguid004|\n"
      "5|https://files.example/report.pdf|report.pdf|0|NULL|0|placeguid005|\n",
      Dump(path, kAllPlaces));
  EXPECT_EQ("1|\n2|\n4|\n5|\n", Dump(path, "SELECT id FROM moz_origins ORDER BY id"));
  EXPECT_EQ("ok|\n", Dump(path, "PRAGMA integrity_check"));
}

// Firefox keeps its databases in write-ahead-log mode: the wash commits into the
// log and SQLite folds it back into the file when the connection closes.
TEST_F(PlacesTest, WriteAheadLogDatabaseIsClearedAndItsLogFolded) {
  MakePlaces(path, true);
  std::string bookmarks = Dump(path, kAllBookmarks);
  PlacesCounts counts;
  ASSERT_EQ(kPlacesDone, Clear(path, false, &counts));
  EXPECT_EQ(8, counts.visits);
  EXPECT_FALSE(qvt::FileExists(path + "-wal"));
  EXPECT_EQ("0|\n", Dump(path, "SELECT count(*) FROM moz_historyvisits"));
  EXPECT_EQ(bookmarks, Dump(path, kAllBookmarks));
}

// A running Firefox holds its database; the wash must not wait for it.
TEST_F(PlacesTest, DatabaseInUseIsBusyAtOnceAndUnchanged) {
  for (bool wal : {false, true}) {
    SCOPED_TRACE(wal ? "write-ahead log" : "rollback journal");
    std::string file = folder + (wal ? "wal.sqlite" : "journal.sqlite");
    MakePlaces(file, wal);
    std::string places = Dump(file, kAllPlaces);
    sqlite3* firefox = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(file.c_str(), &firefox, SQLITE_OPEN_READWRITE, nullptr));
    ASSERT_TRUE(Exec(firefox, "BEGIN EXCLUSIVE"));
    std::string bytes = Bytes(file);
    for (bool preview : {true, false}) {
      PlacesCounts counts = {7, 7, 7};
      DWORD start = GetTickCount();
      EXPECT_EQ(kPlacesBusy, Clear(file, preview, &counts));
      EXPECT_LT(GetTickCount() - start, 3000u) << "waited for the lock";
      EXPECT_EQ(0, counts.visits);
    }
    EXPECT_TRUE(bytes == Bytes(file)) << "the file changed";
    Exec(firefox, "ROLLBACK");
    sqlite3_close(firefox);
    EXPECT_EQ(places, Dump(file, kAllPlaces));
  }
}

TEST_F(PlacesTest, OtherFilesAreNotPlacesDatabasesAndStayAsTheyAre) {
  const std::string text = "user_pref(\"browser.startup.page\", 3);\r\n";
  ASSERT_TRUE(qvt::WriteFile(path, text));
  PlacesCounts counts;
  EXPECT_EQ(kPlacesNotPlaces, Clear(path, false, &counts));
  EXPECT_TRUE(text == Bytes(path)) << "the file changed";
  EXPECT_EQ(kPlacesNotPlaces, Clear(path, true, &counts));
  EXPECT_TRUE(text == Bytes(path)) << "the file changed";

  // An SQLite database of something else.
  std::string other = folder + "cookies.sqlite";
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(other.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
  Exec(db, "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT)");
  Exec(db, "INSERT INTO moz_cookies VALUES (1, 'session')");
  sqlite3_close(db);
  std::string bytes = Bytes(other);
  EXPECT_EQ(kPlacesNotPlaces, Clear(other, false, &counts));
  EXPECT_TRUE(bytes == Bytes(other)) << "the file changed";

  EXPECT_EQ(kPlacesNotPlaces, Clear(folder + "missing.sqlite", false, &counts));
  EXPECT_FALSE(qvt::FileExists(folder + "missing.sqlite"));
}

// A second name of another file (a hard link) is refused, and so is a relative path.
TEST_F(PlacesTest, SecondNameAndRelativePathAreRefused) {
  std::string real = folder + "real.sqlite";
  MakePlaces(real);
  std::string bytes = Bytes(real);
  ASSERT_TRUE(CreateHardLinkA(path.c_str(), real.c_str(), nullptr));
  PlacesCounts counts;
  EXPECT_EQ(kPlacesRefused, Clear(path, false, &counts));
  EXPECT_TRUE(bytes == Bytes(real)) << "the file changed";
  EXPECT_EQ(kPlacesRefused, ClearFirefoxHistory(L"places.sqlite", false, &counts));
}

// C:\qvplaceslink\link.sqlite is a symbolic link (made on the Linux side) to
// target.sqlite beside it.
TEST(PlacesLinkTest, SymbolicLinkIsRefused) {
  const std::string target = "C:\\qvplaceslink\\target.sqlite";
  DeleteFileA(target.c_str());
  MakePlaces(target);
  std::string bytes = Bytes(target);
  PlacesCounts counts;
  EXPECT_EQ(kPlacesRefused, Clear("C:\\qvplaceslink\\link.sqlite", false, &counts));
  EXPECT_TRUE(bytes == Bytes(target)) << "the file changed";
  EXPECT_EQ(kPlacesDone, Clear(target, true, &counts));  // the file itself is a places database
  EXPECT_EQ(8, counts.visits);
}

}  // namespace
