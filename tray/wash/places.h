// Firefox's history. Firefox keeps history and bookmarks in one SQLite database,
// "places.sqlite" in each profile: deleting the file would lose the bookmarks, so
// the history goes row by row, in one transaction, through SQLite itself.
//
// What goes: every visit (moz_historyvisits and its extra table), the typed-input
// history (moz_inputhistory), the page metadata and search queries
// (moz_places_metadata, moz_places_metadata_search_queries), every page that no
// bookmark, keyword or page annotation refers to, and the origins no page is left
// under. The pages that stay keep their address and title; their visit count,
// last visit date and frecency are cleared. Bookmarks, keywords, annotations and
// the pending preview tombstones are left as they are. Tables a Firefox version
// does not have are skipped.
#pragma once

enum PlacesResult {
  kPlacesDone = 0,       // cleared (with preview: counted, nothing changed)
  kPlacesBusy = 1,       // another connection holds the database (a running Firefox): nothing changed
  kPlacesNotPlaces = 2,  // no file there, not an SQLite database, or one without Firefox's history tables
  kPlacesRefused = 3,    // not a full path, or not a plain file at that path (a link, a second hard-link name)
  kPlacesError = 4       // SQLite failed otherwise (read-only, corrupt, out of space): nothing changed
};

struct PlacesCounts {
  long long visits;  // visits removed
  long long places;  // pages removed
  long long kept;    // pages kept for a bookmark, keyword or annotation, their visit data cleared
};

// Clears the history in the places database at placesPath (a full path). With
// preview, counts what would go and changes nothing. Never waits for a lock: a
// database in use gives kPlacesBusy at once. counts is zeroed first and filled
// on kPlacesDone.
PlacesResult ClearFirefoxHistory(const wchar_t* placesPath, bool preview, PlacesCounts* counts);
