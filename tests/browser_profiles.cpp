// Browser profiles for the wash's tests (browser_profiles.h).
#include "browser_profiles.h"

#include <windows.h>
#include <shlobj.h>

#include "places_support.h"
#include "support/qvtest.h"

namespace profiles {

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
  return std::string(path) + "\\";
}

bool Put(const std::string& path, const std::string& bytes) {
  std::string folder = path.substr(0, path.rfind('\\'));
  SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  return qvt::WriteFile(path, bytes);
}

qvt::Process StartNamedLike(const std::string& scratch, const char* image) {
  qvt::Process p;
  if (!CopyFileA(qvt::BinPath("qvinetcpl.exe").c_str(), (scratch + image).c_str(), FALSE)) return p;
  SetEnvironmentVariableA("QV_INETCPL_LOG", (scratch + "calls.txt").c_str());
  p = qvt::Start(scratch + image, "");
  SetEnvironmentVariableA("QV_INETCPL_LOG", nullptr);
  if (p.process && !qvt::WaitUntil([&] { return qvt::IsRunning(image); }, 5000)) {
    qvt::Kill(p);
    qvt::Close(p);
  }
  return p;
}

namespace {

void Trace(Profiles* p, const std::string& path) {
  Put(path, "trace of " + path);
  p->traces.push_back(path);
}

void Keep(Profiles* p, const std::string& path) {
  std::string bytes = "keep " + path + std::string(300, 'k');
  Put(path, bytes);
  p->keeps[path] = bytes;
}

}  // namespace

void Make(Profiles* p, bool withEdge) {
  *p = Profiles{};
  p->local = ShellFolder(CSIDL_LOCAL_APPDATA);
  p->roaming = ShellFolder(CSIDL_APPDATA);
  Remove(*p);
  for (const char* browser : {"Google\\Chrome", "Microsoft\\Edge"}) {
    bool edge = std::string(browser) == "Microsoft\\Edge";
    if (edge && !withEdge) continue;
    std::string data = p->local + browser + "\\User Data\\";
    Keep(p, data + "Local State");
    for (const char* profile : {"Default", "Profile 1"}) {
      if (edge && std::string(profile) == "Profile 1") continue;
      std::string at = data + profile + "\\";
      for (const char* trace : {"Cache\\Cache_Data\\f_000001", "Cache\\Cache_Data\\index", "Code Cache\\js\\ab12_0",
                                "GPUCache\\data_0", "Network\\Cookies", "Network\\Cookies-journal", "History",
                                "History-journal", "Sessions\\Session_13", "Sessions\\Tabs_13", "Current Session",
                                "Last Session", "Current Tabs", "Last Tabs", "Visited Links", "Top Sites"})
        Trace(p, at + trace);
      for (const char* keep : {"Login Data", "Login Data-journal", "Bookmarks", "Preferences", "Secure Preferences",
                               "Extensions\\abcdef\\1.0\\manifest.json", "Web Data", "Network\\TransportSecurity"})
        Keep(p, at + keep);
    }
  }
  std::string fx = p->roaming + "Mozilla\\Firefox\\Profiles\\a1b2.default-release\\";
  for (const char* trace : {"cookies.sqlite", "cookies.sqlite-wal", "cookies.sqlite-shm", "sessionstore.jsonlz4",
                            "sessionstore-backups\\recovery.jsonlz4", "sessionstore-backups\\previous.jsonlz4",
                            "formhistory.sqlite"})
    Trace(p, fx + trace);
  for (const char* keep : {"logins.json", "key4.db", "prefs.js", "favicons.sqlite", "extensions\\addon@example.xpi",
                           "bookmarkbackups\\bookmarks-2026.jsonlz4"})
    Keep(p, fx + keep);
  p->places = fx + "places.sqlite";
  placest::MakePlaces(p->places);
  p->bookmarks = placest::Dump(p->places, placest::kAllBookmarks);
  std::string fxCache = p->local + "Mozilla\\Firefox\\Profiles\\a1b2.default-release\\";
  Trace(p, fxCache + "cache2\\entries\\0A1B2C3D");
  Trace(p, fxCache + "cache2\\index");
  Keep(p, fxCache + "startupCache\\startupCache.8.little");
}

void Remove(const Profiles& p) {
  qvt::RemoveTree(p.local + "Google\\");
  qvt::RemoveTree(p.local + "Microsoft\\Edge\\");
  qvt::RemoveTree(p.local + "Mozilla\\");
  qvt::RemoveTree(p.roaming + "Mozilla\\");
}

std::vector<std::string> TracesLeft(const Profiles& p, const char* under) {
  std::vector<std::string> left;
  for (const std::string& t : p.traces)
    if (t.find(under) != std::string::npos && qvt::FileExists(t)) left.push_back(t);
  return left;
}

std::vector<std::string> KeepsChanged(const Profiles& p) {
  std::vector<std::string> changed;
  for (const auto& k : p.keeps) {
    std::string now;
    if (!qvt::ReadFile(k.first, &now) || now != k.second) changed.push_back(k.first);
  }
  if (placest::Dump(p.places, placest::kAllBookmarks) != p.bookmarks) changed.push_back(p.places + " (bookmarks)");
  return changed;
}

std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> all;
  std::vector<std::string> pending = {folder};
  while (!pending.empty()) {
    std::string f = pending.back();
    pending.pop_back();
    qvt::ForEachEntry(f, [&](const std::string& name, const WIN32_FIND_DATAA& found) {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        pending.push_back(f + name + "\\");
      } else {
        std::string bytes;
        qvt::ReadFile(f + name, &bytes);
        all[f + name] = bytes;
      }
    });
  }
  return all;
}

}  // namespace profiles
