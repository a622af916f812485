// The library exports by ordinal only, exactly the ordinals of Quorvane.def,
// and the tray program imports it by ordinal only.
#include "lib_support.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// A PE image read from its file, with RVAs mapped through the section table.
// It is PE32 or PE32+ as the build that made it; both are read.
struct Image {
  std::string bytes;
  const IMAGE_FILE_HEADER* file = nullptr;
  const IMAGE_SECTION_HEADER* sections = nullptr;
  const IMAGE_DATA_DIRECTORY* directories = nullptr;
  bool wide = false;  // PE32+

  bool Load(const std::string& path) {
    if (!qvt::ReadFile(path, &bytes) || bytes.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
        static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > bytes.size())
      return false;
    const char* nt = bytes.data() + dos->e_lfanew;
    if (*reinterpret_cast<const DWORD*>(nt) != IMAGE_NT_SIGNATURE) return false;
    file = reinterpret_cast<const IMAGE_FILE_HEADER*>(nt + sizeof(DWORD));
    const char* optional = reinterpret_cast<const char*>(file + 1);
    WORD magic = *reinterpret_cast<const WORD*>(optional);
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
      wide = true;
      directories = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional)->DataDirectory;
    } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
      directories = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->DataDirectory;
    } else {
      return false;
    }
    sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional + file->SizeOfOptionalHeader);
    return reinterpret_cast<const char*>(sections + file->NumberOfSections) <= bytes.data() + bytes.size();
  }
  // Pointer to size bytes at rva, or null when outside every section.
  const BYTE* At(DWORD rva, DWORD size = 1) const {
    for (int i = 0; i < file->NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER* s = sections + i;
      DWORD extent = s->Misc.VirtualSize ? s->Misc.VirtualSize : s->SizeOfRawData;
      if (rva >= s->VirtualAddress && rva + size <= s->VirtualAddress + extent) {
        DWORD offset = s->PointerToRawData + (rva - s->VirtualAddress);
        if (offset + size > bytes.size()) return nullptr;
        return reinterpret_cast<const BYTE*>(bytes.data()) + offset;
      }
    }
    return nullptr;
  }
  const IMAGE_DATA_DIRECTORY& Directory(int index) const { return directories[index]; }
  // The import thunks from rva: ordinal flag and ordinal (or name RVA) of each, until the zero entry.
  std::vector<std::pair<bool, DWORD>> Thunks(DWORD rva) const {
    std::vector<std::pair<bool, DWORD>> out;
    for (DWORD step = wide ? 8 : 4;; rva += step) {
      const BYTE* at = At(rva, step);
      if (!at) break;
      ULONGLONG thunk = wide ? *reinterpret_cast<const ULONGLONG*>(at) : *reinterpret_cast<const DWORD*>(at);
      if (!thunk) break;
      bool byOrdinal = wide ? (thunk & IMAGE_ORDINAL_FLAG64) != 0 : (thunk & IMAGE_ORDINAL_FLAG32) != 0;
      out.emplace_back(byOrdinal, static_cast<DWORD>(thunk & (byOrdinal ? 0xFFFF : 0x7FFFFFFF)));
    }
    return out;
  }
};

// The library is built for the width of the program that loads it.
constexpr WORD kMachine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;

// The "@N" ordinals of the module definition file.
std::set<DWORD> DefOrdinals() {
  std::string text;
  std::set<DWORD> ordinals;
  if (!qvt::ReadFile(QV_DEF_FILE, &text)) return ordinals;
  // "@N" after a blank is an ordinal; "Name@16" is an i686 decoration.
  for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1))
    if (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t'))
      ordinals.insert(strtoul(text.c_str() + at + 1, nullptr, 10));
  return ordinals;
}

TEST(LibOrdinalTest, ExportsExactlyTheDefinedOrdinalsAndNoNames) {
  std::set<DWORD> expected = DefOrdinals();
  ASSERT_EQ(62u, expected.size());
  Image dll;
  ASSERT_TRUE(dll.Load(qvt::BinPath("Quorvane.dll")));
  EXPECT_EQ(kMachine, dll.file->Machine);
  const IMAGE_DATA_DIRECTORY& dir = dll.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(dll.At(dir.VirtualAddress, sizeof(IMAGE_EXPORT_DIRECTORY)));
  ASSERT_NE(nullptr, exports);
  EXPECT_EQ(0u, exports->NumberOfNames);
  auto* functions = reinterpret_cast<const DWORD*>(dll.At(exports->AddressOfFunctions, exports->NumberOfFunctions * 4));
  ASSERT_NE(nullptr, functions);
  std::set<DWORD> actual;
  for (DWORD i = 0; i < exports->NumberOfFunctions; ++i)
    if (functions[i]) actual.insert(exports->Base + i);
  EXPECT_EQ(expected, actual);
}

TEST(LibOrdinalTest, TrayProgramImportsTheLibraryByOrdinalOnly) {
  Image exe;
  if (!exe.Load(qvt::BinPath("qvtoolbar.exe"))) GTEST_SKIP() << "qvtoolbar.exe not built";
  EXPECT_EQ(kMachine, exe.file->Machine);
  std::set<DWORD> defined = DefOrdinals();
  const IMAGE_DATA_DIRECTORY& dir = exe.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(exe.At(dir.VirtualAddress, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
  ASSERT_NE(nullptr, import);
  int found = 0;
  for (; import->Name; ++import) {
    const char* name = reinterpret_cast<const char*>(exe.At(import->Name));
    ASSERT_NE(nullptr, name);
    if (lstrcmpiA(name, "Quorvane.dll") != 0) continue;
    ++found;
    DWORD thunks = import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk;
    int count = 0;
    for (const auto& thunk : exe.Thunks(thunks)) {
      EXPECT_TRUE(thunk.first) << "import by name at " << count;
      EXPECT_TRUE(defined.count(thunk.second)) << thunk.second;
      ++count;
    }
    EXPECT_GT(count, 0);
  }
  EXPECT_EQ(1, found);
}

}  // namespace
