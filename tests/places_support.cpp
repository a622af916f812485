// A places database of the shape Firefox keeps (places_support.h).
#include "places_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace placest {

namespace {

const char* const kSchema[] = {
    "CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, "
    "frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
    "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host))",
    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR, "
    "visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL, "
    "frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER, guid TEXT, "
    "foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL, description TEXT, "
    "preview_image_url TEXT, site_name TEXT, origin_id INTEGER REFERENCES moz_origins(id), "
    "recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, "
    "visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 NOT NULL, "
    "triggeringPlaceId INTEGER)",
    "CREATE TABLE moz_inputhistory (place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, use_count INTEGER, "
    "PRIMARY KEY (place_id, input))",
    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER, "
    "position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded INTEGER, "
    "lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, "
    "syncChangeCounter INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, place_id INTEGER, "
    "post_data TEXT)",
    "CREATE TABLE moz_anno_attributes (id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL)",
    "CREATE TABLE moz_annos (id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, anno_attribute_id INTEGER, "
    "content LONGVARCHAR, flags INTEGER DEFAULT 0, expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0, "
    "dateAdded INTEGER DEFAULT 0, lastModified INTEGER DEFAULT 0)",
    "CREATE UNIQUE INDEX moz_places_url_uniqueindex ON moz_places (url)",
    "CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date)",
};

// Two bookmarked pages (in the menu and the toolbar folder), a page kept by a
// keyword, a download kept by its annotation, and two pages only visited.
const char* const kRows[] = {
    "INSERT INTO moz_origins VALUES (1,'https://','bank.example',900,0,NULL,0), "
    "(2,'https://','news.example',500,0,NULL,0), (3,'https://','secret.example',700,0,NULL,0), "
    "(4,'https://','search.example',100,0,NULL,0), (5,'https://','files.example',50,0,NULL,0), "
    "(6,'http://','other.example',30,0,NULL,0)",
    "INSERT INTO moz_places (id,url,title,rev_host,visit_count,frecency,last_visit_date,guid,foreign_count,origin_id) "
    "VALUES (1,'https://bank.example/','My Bank','elpmaxe.knab.',3,900,1700000300000000,'placeguid001',1,1), "
    "(2,'https://news.example/today','News','elpmaxe.swen.',1,500,1700000200000000,'placeguid002',1,2), "
    "(3,'https://secret.example/diary','Diary','elpmaxe.terces.',2,700,1700000100000000,'placeguid003',0,3), "
    "(4,'https://search.example/?q=%s','Search',NULL,0,100,NULL,'placeguid004',1,4), "
    "(5,'https://files.example/report.pdf','report.pdf','elpmaxe.selif.',1,50,1700000050000000,'placeguid005',0,5), "
    "(6,'http://other.example/','Other','elpmaxe.rehto.',1,30,1700000010000000,'placeguid006',0,6)",
    "INSERT INTO moz_historyvisits (id,from_visit,place_id,visit_date,visit_type,session,source) VALUES "
    "(1,0,1,1700000000000000,1,0,0), (2,1,1,1700000100000000,2,0,0), (3,0,1,1700000300000000,1,0,0), "
    "(4,0,2,1700000200000000,1,0,0), (5,0,3,1700000050000000,1,0,0), (6,5,3,1700000100000000,1,0,0), "
    "(7,0,5,1700000050000000,7,0,0), (8,0,6,1700000010000000,1,0,0)",
    "INSERT INTO moz_inputhistory VALUES (1,'ban',2.0), (3,'secr',1.0)",
    "INSERT INTO moz_bookmarks (id,type,fk,parent,position,title,folder_type,dateAdded,lastModified,guid) VALUES "
    "(1,2,NULL,0,0,'',NULL,1690000000000000,1690000000000000,'root________'), "
    "(2,2,NULL,1,0,'menu',NULL,1690000000000000,1690000000000000,'menu________'), "
    "(3,2,NULL,1,1,'toolbar',NULL,1690000000000000,1690000000000000,'toolbar_____'), "
    "(4,1,1,2,0,'My Bank',NULL,1690000001000000,1690000001000000,'bookmark0001'), "
    "(5,1,2,3,0,'News',NULL,1690000002000000,1690000002000000,'bookmark0002')",
    "INSERT INTO moz_keywords VALUES (1,'s',4,NULL)",
    "INSERT INTO moz_anno_attributes VALUES (1,'downloads/destinationFileURI')",
    "INSERT INTO moz_annos (id,place_id,anno_attribute_id,content) VALUES (1,5,1,'file:///C:/report.pdf')",
};

}  // namespace

bool Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) ADD_FAILURE() << sql << ": " << (message ? message : "?");
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

// Every row of a query, one line a row, columns between bars.
std::string Dump(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "<cannot open>";
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) out = std::string("<") + sqlite3_errmsg(db) + ">";
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      const unsigned char* text = sqlite3_column_text(st, i);
      out += sqlite3_column_type(st, i) == SQLITE_NULL ? std::string("NULL") : reinterpret_cast<const char*>(text);
      out += "|";
    }
    out += "\n";
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

void MakePlaces(const std::string& file, bool wal) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
  if (wal) Exec(db, "PRAGMA journal_mode = WAL");
  for (const char* sql : kSchema) Exec(db, sql);
  for (const char* sql : kRows) Exec(db, sql);
  sqlite3_close(db);
}

}  // namespace placest
