// Firefox's history in places.sqlite (see places.h).
#include "tray/wash/places.h"

#include <windows.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/treewalk.h"
#include "common/widepath.h"

namespace {

// An SQLite result as ours: a lock held elsewhere is busy, a file that is no
// database is not a places database.
PlacesResult ResultOf(int rc) {
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return kPlacesDone;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kPlacesBusy;
    case SQLITE_NOTADB:
      return kPlacesNotPlaces;
    default:
      return kPlacesError;
  }
}

// The one number a query gives (-1 when it fails; *rc says why).
long long QueryNumber(sqlite3* db, const char* sql, int* rc) {
  sqlite3_stmt* st = nullptr;
  long long value = -1;
  *rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  if (*rc == SQLITE_OK) {
    *rc = sqlite3_step(st);
    if (*rc == SQLITE_ROW) {
      value = sqlite3_column_int64(st, 0);
      *rc = SQLITE_OK;
    }
  }
  sqlite3_finalize(st);
  return value;
}

bool HasTable(sqlite3* db, const char* table, int* rc) {
  char sql[200];
  snprintf(sql, sizeof sql, "SELECT count(*) FROM main.sqlite_schema WHERE type = 'table' AND name = '%s'", table);
  return QueryNumber(db, sql, rc) > 0;
}

bool HasColumn(sqlite3* db, const char* table, const char* column, int* rc) {
  char sql[200];
  snprintf(sql, sizeof sql, "SELECT count(*) FROM pragma_table_info('%s') WHERE name = '%s'", table, column);
  return QueryNumber(db, sql, rc) > 0;
}

// What this database has of Firefox's schema.
struct Schema {
  bool bookmarks, keywords, annos, inputHistory, visitsExtra, placesExtra, metadata, searchQueries, origins;
  bool visitCount, lastVisit, frecency, originId, originFrecency;
};

int ReadSchema(sqlite3* db, Schema* s) {
  int rc = SQLITE_OK;
  struct {
    bool* has;
    const char* table;
    const char* column;  // null: the table alone
  } wanted[] = {
      {&s->bookmarks, "moz_bookmarks", "fk"},
      {&s->keywords, "moz_keywords", "place_id"},
      {&s->annos, "moz_annos", "place_id"},
      {&s->inputHistory, "moz_inputhistory", nullptr},
      {&s->visitsExtra, "moz_historyvisits_extra", nullptr},
      {&s->placesExtra, "moz_places_extra", "place_id"},
      {&s->metadata, "moz_places_metadata", nullptr},
      {&s->searchQueries, "moz_places_metadata_search_queries", nullptr},
      {&s->origins, "moz_origins", nullptr},
      {&s->visitCount, "moz_places", "visit_count"},
      {&s->lastVisit, "moz_places", "last_visit_date"},
      {&s->frecency, "moz_places", "frecency"},
      {&s->originId, "moz_places", "origin_id"},
      {&s->originFrecency, "moz_origins", "frecency"},
  };
  for (auto& w : wanted) {
    *w.has = w.column ? HasColumn(db, w.table, w.column, &rc) : HasTable(db, w.table, &rc);
    if (rc != SQLITE_OK) return rc;
  }
  return rc;
}

// The condition that keeps a page: a bookmark, a keyword or an annotation needs it.
void KeepCondition(const Schema& s, char* out, size_t cap) {
  out[0] = 0;
  const char* parts[] = {
      s.bookmarks ? "id IN (SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)" : nullptr,
      s.keywords ? "id IN (SELECT place_id FROM moz_keywords WHERE place_id IS NOT NULL)" : nullptr,
      s.annos ? "id IN (SELECT place_id FROM moz_annos WHERE place_id IS NOT NULL)" : nullptr,
  };
  for (const char* part : parts) {
    if (!part) continue;
    size_t used = strlen(out);
    snprintf(out + used, cap - used, "%s%s", used ? " OR " : "", part);
  }
  if (!out[0]) snprintf(out, cap, "0");
}

// Runs one statement; *changed gets the rows it changed.
int Run(sqlite3* db, const char* sql, long long* changed = nullptr) {
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK && changed) *changed = sqlite3_changes64(db);
  return rc;
}

int CountAll(sqlite3* db, const char* keep, PlacesCounts* counts) {
  char sql[600];
  int rc = SQLITE_OK;
  counts->visits = QueryNumber(db, "SELECT count(*) FROM moz_historyvisits", &rc);
  if (rc != SQLITE_OK) return rc;
  snprintf(sql, sizeof sql, "SELECT count(*) FROM moz_places WHERE NOT (%s)", keep);
  counts->places = QueryNumber(db, sql, &rc);
  if (rc != SQLITE_OK) return rc;
  snprintf(sql, sizeof sql, "SELECT count(*) FROM moz_places WHERE %s", keep);
  counts->kept = QueryNumber(db, sql, &rc);
  return rc;
}

int ClearAll(sqlite3* db, const Schema& s, const char* keep, PlacesCounts* counts) {
  char sql[600];
  int rc = Run(db, "DELETE FROM moz_historyvisits", &counts->visits);
  if (rc == SQLITE_OK && s.visitsExtra) rc = Run(db, "DELETE FROM moz_historyvisits_extra");
  if (rc == SQLITE_OK && s.inputHistory) rc = Run(db, "DELETE FROM moz_inputhistory");
  if (rc == SQLITE_OK && s.searchQueries) rc = Run(db, "DELETE FROM moz_places_metadata_search_queries");
  if (rc == SQLITE_OK && s.metadata) rc = Run(db, "DELETE FROM moz_places_metadata");
  if (rc == SQLITE_OK) {
    snprintf(sql, sizeof sql, "DELETE FROM moz_places WHERE NOT (%s)", keep);
    rc = Run(db, sql, &counts->places);
  }
  if (rc == SQLITE_OK && s.placesExtra)
    rc = Run(db, "DELETE FROM moz_places_extra WHERE place_id NOT IN (SELECT id FROM moz_places)");
  if (rc == SQLITE_OK && (s.visitCount || s.lastVisit || s.frecency)) {
    snprintf(sql, sizeof sql, "UPDATE moz_places SET %s%s%s%s%s", s.visitCount ? "visit_count = 0" : "",
             s.visitCount && (s.lastVisit || s.frecency) ? ", " : "", s.lastVisit ? "last_visit_date = NULL" : "",
             s.lastVisit && s.frecency ? ", " : "", s.frecency ? "frecency = 0" : "");
    rc = Run(db, sql, &counts->kept);
  } else if (rc == SQLITE_OK) {
    counts->kept = QueryNumber(db, "SELECT count(*) FROM moz_places", &rc);
  }
  if (rc == SQLITE_OK && s.origins && s.originId)
    rc = Run(db, "DELETE FROM moz_origins WHERE id NOT IN (SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)");
  if (rc == SQLITE_OK && s.origins && s.originFrecency) rc = Run(db, "UPDATE moz_origins SET frecency = 0");
  return rc;
}

// The same file: SQLite's handle and the one held since the check.
bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

// Opens the checked file in SQLite, never waiting for a lock, with a schema it
// does not trust. Null (and *result) when it cannot.
sqlite3* OpenChecked(const wchar_t* literal, HANDLE held, PlacesResult* result) {
  // SQLite's Windows file system takes UTF-8 names, "\\?\" ones as they stand.
  std::vector<char> utf8(kLongPathChars * 3);
  if (!WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, literal, -1, utf8.data(), static_cast<int>(utf8.size()),
                           nullptr, nullptr)) {
    *result = kPlacesRefused;
    return nullptr;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(utf8.data(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_EXRESCODE,
                           nullptr);
  if (rc != SQLITE_OK) {
    *result = ResultOf(rc) == kPlacesDone ? kPlacesError : ResultOf(rc);
    sqlite3_close(db);
    return nullptr;
  }
  HANDLE opened = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_WIN32_GET_HANDLE, &opened) != SQLITE_OK || !SameFile(opened, held)) {
    *result = kPlacesRefused;
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 0);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  return db;
}

// Within the write transaction: checks the schema, then counts or clears.
int ClearOrCount(sqlite3* db, bool preview, PlacesCounts* counts, bool* places) {
  int rc = SQLITE_OK;
  *places = HasTable(db, "moz_places", &rc) && HasTable(db, "moz_historyvisits", &rc);
  if (rc != SQLITE_OK || !*places) return rc;
  Schema s = {};
  rc = ReadSchema(db, &s);
  if (rc != SQLITE_OK) return rc;
  char keep[400];
  KeepCondition(s, keep, sizeof keep);
  return preview ? CountAll(db, keep, counts) : ClearAll(db, s, keep, counts);
}

}  // namespace

PlacesResult ClearFirefoxHistory(const wchar_t* placesPath, bool preview, PlacesCounts* counts) {
  *counts = PlacesCounts{};
  std::vector<wchar_t> literal(kLongPathChars);
  if (!placesPath || !LiteralFullPath(placesPath, literal.data(), literal.size()) ||
      !IsBelowLiteralRoot(literal.data()))
    return kPlacesRefused;
  // The file is held without delete sharing from the check until SQLite is done
  // with it, so it cannot be renamed or replaced by a link meanwhile.
  HANDLE held = CreateFileW(literal.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kPlacesNotPlaces
           : error == ERROR_SHARING_VIOLATION                              ? kPlacesBusy
                                                                           : kPlacesError;
  }
  if (!IsPlainFileAt(held, literal.data())) {
    CloseHandle(held);
    return kPlacesRefused;
  }
  PlacesResult result = kPlacesDone;
  sqlite3* db = OpenChecked(literal.data(), held, &result);
  if (db) {
    // The write lock first, also for a preview: it answers at once whether a
    // wash could run, and a deferred read would not see a writer that has not
    // yet locked. Nothing is written until the deletes.
    int rc = Run(db, "BEGIN IMMEDIATE");
    bool places = true;
    if (rc == SQLITE_OK) {
      rc = ClearOrCount(db, preview, counts, &places);
      if (rc == SQLITE_OK && places && !preview) rc = Run(db, "COMMIT");
      if (sqlite3_get_autocommit(db) == 0) Run(db, "ROLLBACK");
    }
    result = rc != SQLITE_OK ? ResultOf(rc) : places ? kPlacesDone : kPlacesNotPlaces;
    sqlite3_close(db);  // SQLite checkpoints and removes a write-ahead log it leaves
  }
  CloseHandle(held);
  if (result != kPlacesDone) *counts = PlacesCounts{};
  return result;
}
