#include "tray/wash/jumplists.h"

#include <objbase.h>

#include <cstring>
#include <vector>

#include "common/treewalk.h"

namespace {

// The DestList stream begins with its header: format version, number of entries,
// number of pinned entries (then a float, the last entry's number and the last
// revision). Versions 1 (Windows 7 and 8) to 4 (Windows 10 and 11) are known.
constexpr ULONG kDestListHeaderBytes = 32;
constexpr DWORD kNewestDestListVersion = 4;
constexpr DWORD kLargestJumpList = 16u << 20;  // far beyond any list the shell writes

DWORD LittleEndian32(const unsigned char* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<DWORD>(at[3]) << 24);
}

JumpListPins PinsInHeader(const unsigned char* header) {
  DWORD version = LittleEndian32(header), entries = LittleEndian32(header + 4), pinned = LittleEndian32(header + 8);
  if (version < 1 || version > kNewestDestListVersion || pinned > entries) return kPinsUnknown;
  return pinned ? kPinsSome : kPinsNone;
}

// The DestList header of a compound file held in memory.
JumpListPins PinsInStorage(ILockBytes* bytes) {
  IStorage* storage = nullptr;
  if (FAILED(StgOpenStorageOnILockBytes(bytes, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage)))
    return kPinsUnknown;
  JumpListPins pins = kPinsUnknown;
  IStream* stream = nullptr;
  if (SUCCEEDED(storage->OpenStream(L"DestList", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream))) {
    unsigned char header[kDestListHeaderBytes] = {};
    ULONG read = 0;
    if (SUCCEEDED(stream->Read(header, sizeof header, &read)) && read == sizeof header) pins = PinsInHeader(header);
    stream->Release();
  }
  storage->Release();
  return pins;
}

}  // namespace

JumpListPins PinsInJumpList(const unsigned char* bytes, size_t size) {
  if (!bytes || size < 512 || size > kLargestJumpList) return kPinsUnknown;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return kPinsUnknown;
  void* copy = GlobalLock(memory);
  if (!copy) {
    GlobalFree(memory);
    return kPinsUnknown;
  }
  memcpy(copy, bytes, size);
  GlobalUnlock(memory);
  ILockBytes* lockBytes = nullptr;
  if (FAILED(CreateILockBytesOnHGlobal(memory, TRUE, &lockBytes))) {
    GlobalFree(memory);
    return kPinsUnknown;
  }
  JumpListPins pins = PinsInStorage(lockBytes);
  lockBytes->Release();  // frees the memory too
  return pins;
}

bool JumpListGoes(HANDLE folder, const wchar_t* name) {
  static const wchar_t kAutomatic[] = L".automaticDestinations-ms";
  static const wchar_t kCustom[] = L".customDestinations-ms";
  size_t chars = wcslen(name);
  auto endsWith = [&](const wchar_t* tail) {
    size_t n = wcslen(tail);
    return chars > n && CompareStringOrdinal(name + chars - n, -1, tail, -1, TRUE) == CSTR_EQUAL;
  };
  if (endsWith(kCustom)) return true;
  if (!endsWith(kAutomatic)) return false;
  // Read through the entry opened in the held folder, never by a path.
  DWORD error = 0;
  HANDLE file = OpenInFolder(folder, name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, &error);
  if (!file) return false;
  JumpListPins pins = kPinsUnknown;
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= kLargestJumpList) {
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size())
      pins = PinsInJumpList(bytes.data(), bytes.size());
  }
  CloseHandle(file);
  return pins == kPinsNone;
}
