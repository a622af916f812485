// What a wash did, or what a preview found it would do: one row for each target of
// an item (a folder, a registry key, what the browser clears itself, a folder left
// alone) with its counts. The items and the deletion routines write into the report
// of the thread that runs them; a preview is the same walk, told only to look.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

enum WashTargetKind {
  kTargetFolder,     // files deleted from a folder (found, in a preview)
  kTargetRegistry,   // a registry key removed (found)
  kTargetBrowser,    // what only the browser clears, through its Internet Options
  kTargetLeftAlone,  // a folder the item left alone, and why
  kTargetHistory     // visits removed (found) from a browser's history database
};

struct WashTarget {
  int item;                  // index into kWashItems
  WashTargetKind kind;
  std::string what;          // the folder or key, the browser's data, or the folder and the reason
  unsigned files;            // deleted (found)
  unsigned long long bytes;  // freed (found)
  unsigned scheduled;        // set up for deletion at the next restart
  unsigned left;             // neither deleted nor set up
  unsigned entries;          // registry keys removed (found); for a history database, its visits
  int reason;                // a folder left alone: its LeftAloneReason
  std::string rule;          // the cleaning rule the row is for (empty for the nine items)
};

struct WashReport {
  bool preview = false;                // only look: nothing is deleted, the browser is not asked
  std::vector<WashTarget> targets;
  std::vector<std::string> leftFiles;  // the files left (at most kLeftFilesKept of them)
  // Without the rights for the restart list: whether the warning was shown, and
  // the locked files that could not be set up (the first kNotScheduledNamed named).
  bool rightsWarned = false;
  unsigned notScheduled = 0;
  std::vector<std::string> notScheduledFiles;
};
constexpr size_t kLeftFilesKept = 1000;
constexpr size_t kNotScheduledNamed = 3;

struct WashTotals {
  unsigned files, scheduled, left, entries, leftAlone, visits;
  unsigned long long bytes;
};
WashTotals TotalsOf(const WashReport& report);

// The report this thread's items write into (none: nothing is recorded), and the
// item they run for. Set for a run, a preview, a single clearing and an unattended wash.
void SetActiveReport(WashReport* report);
void SetActiveItem(int item);
// The cleaning rule the rows made from now on are for (null: none).
void SetActiveRule(const char* name);
WashReport* ActiveReport();
// This thread only looks (a preview): no file, key or browser data is touched.
bool IsPreview();

// What the items and the deletion routines record.
void ReportTarget(WashTargetKind kind, const char* what);
void ReportFile(unsigned long long bytes);
void ReportScheduled();
void ReportLeft(const char* path);
void ReportEntry();

// "123 bytes", "4.5 KB", "6.7 MB", "8.9 GB".
void FormatBytes(unsigned long long bytes, char* out, size_t cap);
// The summary's lines of counts (translated, one a line): files deleted and
// bytes freed, files scheduled, files left and the first of them, registry entries,
// and the first folder left alone with its reason.
void ReportLines(const WashReport& report, char* out, size_t cap);
// The sentence that names the first folder (or registry key) left alone and why;
// false when none was. A program left alone because it runs has a line of its
// own, one for each program: "Left alone: Google Chrome is running."
bool LeftAloneSentence(const WashReport& report, char* out, size_t cap);
void RunningProgramLines(const WashReport& report, char* out, size_t cap);
// The permission warning of the restart list: true when it is to be shown now
// (the first time in this thread's report, or always without one).
bool FirstRightsWarning();
// A locked file that could not be set up for the restart for want of rights is
// kept for one report at the end (true), when this thread has a report; false:
// the caller reports it at once.
bool KeepNotScheduled(const char* path);
// That report: how many, and the first of them; false when there were none.
bool NotScheduledSentence(const WashReport& report, char* out, size_t cap);
// This thread's reports are written, not shown: no message box (an unattended wash).
void SetQuietReports(bool quiet);
bool QuietReports();
// The item's name for people ("Temporary folders"), translated or in English.
const char* ItemName(int item, bool translated);
// A row's name: its cleaning rule's, else its item's.
const char* RowName(const WashTarget& target, bool translated);
// The plain-text log of an unattended wash: one line per item with its counts, one
// per folder left alone, one per file or folder left (in a preview: that a wash
// could not reach), why no wash ran (note, when given) and the exit code. The
// file is never opened through a link (a symbolic link, a junction on the way, a
// second hard-link name, a device; the file must lie at the path as given, so a
// subst or network drive letter or a short name is refused too) and never
// truncated: a new one is made, an existing one is appended to only when it
// begins as a wash log ("Quorvane Webdeck wash, " or "Quorvane Webdeck wash
// preview, ", as every run's lines do). An elevated run (or one as the system)
// writes only into a folder that nobody but administrators, the system and
// TrustedInstaller can change (common/folderacl.h). False when the log is refused
// or cannot be written.
bool WriteWashLog(const wchar_t* path, const WashReport& report, int exitCode, const char* note);
