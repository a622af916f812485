// Firefox's places database as the tests build it: the tables Firefox keeps its
// history and bookmarks in, with two bookmarked pages (in the menu and the
// toolbar folder), a page kept by a keyword, a download kept by its annotation,
// and two pages only visited (eight visits in all).
#pragma once

#include <string>

struct sqlite3;

namespace placest {

// Makes the database at file (an ANSI path); with wal, in write-ahead-log mode.
void MakePlaces(const std::string& file, bool wal = false);
// A statement run on db; a failure is a test failure.
bool Exec(sqlite3* db, const char* sql);
// Every row of a query, one line a row, columns between bars.
std::string Dump(const std::string& path, const char* sql);
constexpr const char* kAllBookmarks = "SELECT * FROM moz_bookmarks ORDER BY id";
constexpr const char* kVisitCount = "SELECT COUNT(*) FROM moz_historyvisits";
constexpr int kVisits = 8;

}  // namespace placest
