// The library exports by ordinal only, exactly the ordinals of Quorvane.def,
// and the tray program imports it by ordinal only.
#include "lib_support.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

// A PE image read from its file, with RVAs mapped through the section table.
struct Image {
  std::string bytes;
  const IMAGE_NT_HEADERS32* nt = nullptr;

  bool Load(const std::string& path) {
    if (!qvt::ReadFile(path, &bytes) || bytes.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
        static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32) > bytes.size())
      return false;
    nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE && nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC;
  }
  // Pointer to size bytes at rva, or null when outside every section.
  const BYTE* At(DWORD rva, DWORD size = 1) const {
    const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s) {
      DWORD extent = s->Misc.VirtualSize ? s->Misc.VirtualSize : s->SizeOfRawData;
      if (rva >= s->VirtualAddress && rva + size <= s->VirtualAddress + extent) {
        DWORD offset = s->PointerToRawData + (rva - s->VirtualAddress);
        if (offset + size > bytes.size()) return nullptr;
        return reinterpret_cast<const BYTE*>(bytes.data()) + offset;
      }
    }
    return nullptr;
  }
  const IMAGE_DATA_DIRECTORY& Directory(int index) const { return nt->OptionalHeader.DataDirectory[index]; }
};

// The "@N" ordinals of the module definition file.
std::set<DWORD> DefOrdinals() {
  std::string text;
  std::set<DWORD> ordinals;
  if (!qvt::ReadFile(QV_DEF_FILE, &text)) return ordinals;
  for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1))
    ordinals.insert(strtoul(text.c_str() + at + 1, nullptr, 10));
  return ordinals;
}

TEST(LibOrdinalTest, ExportsExactlyTheDefinedOrdinalsAndNoNames) {
  std::set<DWORD> expected = DefOrdinals();
  ASSERT_EQ(62u, expected.size());
  Image dll;
  ASSERT_TRUE(dll.Load(qvt::BinPath("Quorvane.dll")));
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
    for (auto* thunk = reinterpret_cast<const DWORD*>(exe.At(thunks, 4)); thunk && *thunk; ++thunk, ++count) {
      EXPECT_TRUE(*thunk & IMAGE_ORDINAL_FLAG32) << "import by name at " << count;
      EXPECT_TRUE(defined.count(*thunk & 0xFFFF)) << (*thunk & 0xFFFF);
    }
    EXPECT_GT(count, 0);
  }
  EXPECT_EQ(1, found);
}

}  // namespace
