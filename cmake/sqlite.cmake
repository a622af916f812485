# SQLite's single-file source, fetched by scripts/install-deps.sh into
# third_party/sqlite/ (outside git), built as a static library of its own:
# C, -O1 (it is one 9 MB file and only edits small databases), its warnings off.
set(QV_SQLITE_DIR ${CMAKE_SOURCE_DIR}/third_party/sqlite CACHE PATH "Folder holding sqlite3.c and sqlite3.h")
if(NOT EXISTS ${QV_SQLITE_DIR}/sqlite3.c OR NOT EXISTS ${QV_SQLITE_DIR}/sqlite3.h)
  message(FATAL_ERROR "SQLite's source is missing (${QV_SQLITE_DIR}/sqlite3.c and sqlite3.h): "
                      "run scripts/install-deps.sh, which fetches it.")
endif()
add_library(qvsqlite STATIC ${QV_SQLITE_DIR}/sqlite3.c)
target_compile_options(qvsqlite PRIVATE -O1 -w)
target_compile_definitions(qvsqlite
  PUBLIC SQLITE_THREADSAFE=0 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_FOREIGN_KEYS=0
  PRIVATE SQLITE_DQS=0 SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_OMIT_DEPRECATED SQLITE_OMIT_SHARED_CACHE)
target_include_directories(qvsqlite SYSTEM PUBLIC ${QV_SQLITE_DIR})
