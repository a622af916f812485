// Browser profiles as the tests build them in the prefix's own application-data
// folders: two Chrome profiles ("Default" and "Profile 1"), an Edge profile and a
// Firefox profile with a real places database, each with the traces a wash takes
// and the files it must leave byte for byte (passwords, bookmarks, extensions,
// settings).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/qvtest.h"

namespace profiles {

struct Profiles {
  std::string local, roaming;   // the application-data folders, with a trailing backslash
  std::string places;           // Firefox's places database
  std::string bookmarks;        // its bookmarks as made
  std::vector<std::string> traces;
  std::map<std::string, std::string> keeps;  // path and bytes
};

// Builds them (what an earlier case left is removed first); Edge only withEdge.
void Make(Profiles* p, bool withEdge = true);
void Remove(const Profiles& p);
// The traces still there (those whose path holds under).
std::vector<std::string> TracesLeft(const Profiles& p, const char* under = "");
// The keep files changed or gone, and the places database when its bookmarks changed.
std::vector<std::string> KeepsChanged(const Profiles& p);
// Every file below a folder with its bytes: what a wash must not touch at all.
std::map<std::string, std::string> Contents(const std::string& folder);
// A shell folder (CSIDL) with a trailing backslash; a file written, its folders made.
std::string ShellFolder(int csidl);
bool Put(const std::string& path, const std::string& bytes);
// A program of the browser's image name ("chrome.exe", the Internet Options
// stand-in copied into scratch) started and seen running; no process when not.
qvt::Process StartNamedLike(const std::string& scratch, const char* image);

}  // namespace profiles
