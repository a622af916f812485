// Jump lists: the shell keeps each program's recent, frequent and pinned entries
// in Recent\AutomaticDestinations\<AppID>.automaticDestinations-ms, a compound file
// whose "DestList" stream lists the entries and counts the pinned ones, and the
// lists a program makes itself in Recent\CustomDestinations\<AppID>.customDestinations-ms
// (rewritten by that program whenever it updates its list).
#pragma once

#include <windows.h>

#include <cstddef>

enum JumpListPins {
  kPinsNone,    // a list of recent entries only
  kPinsSome,    // at least one pinned entry
  kPinsUnknown  // not a jump list this code can read: treated as holding pins
};

// The pins of an automatic jump list, from its bytes.
JumpListPins PinsInJumpList(const unsigned char* bytes, size_t size);

// Whether the wash takes this file of a jump-list folder (opened in its held
// folder): a custom list, or an automatic list without pins.
bool JumpListGoes(HANDLE folder, const wchar_t* name);

// The wash step (with the items): deletes every automatic jump list that holds no pin (a list with
// pins, or one that cannot be read, is kept whole: the shell offers no way to remove
// only its recent entries) and every custom list, through the Wash's deletion.
void WashJumpLists();
