// The folder trees of the folder figures, made the same way for ours and for the
// reference: small files of 64 bytes, spread evenly over the folders that hold files.
#include <cstdio>
#include <cstring>

#include "bench/bench.h"

namespace bench {

const TreeShape kFlatTree = {"20,000 files", {20, 10}, 2, false, 20000};
const TreeShape kDeepTree = {"20,000 files 19 levels deep",
                             {50, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
                             19,
                             true,
                             20000};
const TreeShape kLargeTree = {"50,000 files", {50, 10}, 2, false, 50000};

namespace {

// The folders below folder, level by level; those that hold files go into holders.
bool MakeFolders(const std::string& folder, const TreeShape& shape, int level, std::vector<std::string>& holders) {
  if (level > 0 && (shape.everyLevel || level == shape.levels)) holders.push_back(folder);
  if (level == shape.levels) return true;
  for (int i = 0; i < shape.fanout[level]; ++i) {
    char name[16];
    snprintf(name, sizeof name, "\\%c%d", level == 0 ? 'd' : 's', i);
    std::string sub = folder + name;
    if (!CreateDirectoryA(sub.c_str(), nullptr) || !MakeFolders(sub, shape, level + 1, holders)) return false;
  }
  return true;
}

bool MakeSmallFile(const std::string& path) {
  char data[64];
  memset(data, 'q', sizeof data);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, data, sizeof data, &written, nullptr) && written == sizeof data;
  return CloseHandle(h) && ok;
}

}  // namespace

bool MakeTree(const std::string& root, const TreeShape& shape) {
  std::vector<std::string> holders;
  if (!CreateDirectoryA(root.c_str(), nullptr) || !MakeFolders(root, shape, 0, holders) || holders.empty())
    return false;
  // Folder by folder, the first ones taking one file more when the count does not divide.
  int each = shape.files / static_cast<int>(holders.size());
  int extra = shape.files % static_cast<int>(holders.size());
  for (size_t h = 0; h < holders.size(); ++h) {
    int count = each + (static_cast<int>(h) < extra ? 1 : 0);
    for (int f = 0; f < count; ++f) {
      char name[24];
      snprintf(name, sizeof name, "\\f%d.tmp", f);
      if (!MakeSmallFile(holders[h] + name)) return false;
    }
  }
  return true;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FolderIsEmpty(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) empty = false;
  } while (empty && FindNextFileA(find, &found));
  FindClose(find);
  return empty;
}

void RemoveLeftover(const std::string& root) {
  if (!PathExists(root)) return;
  DWORD exitCode;
  RunCommand("cmd /c rd /s /q \"" + root + "\"", &exitCode);
}

}  // namespace bench
