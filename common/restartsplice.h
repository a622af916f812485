// The text editing of the restart list ("wininit.ini"), free of Windows calls.
#pragma once

#include <cstddef>

// Writes into out (outCap bytes) the list text with one entry "NUL=" + shortPath + CR LF added:
// as the last line of the "[rename]" section when another section follows it, else at the end,
// after a CR LF when the last line has none and after "[rename]" CR LF when there is no section.
// Returns the length of the new text, or 0 (out untouched) when it would not fit.
size_t SpliceRestartEntry(const char* text, size_t textLen, const char* shortPath, char* out, size_t outCap);

// The extra room the new text needs beyond the old text and the short path.
constexpr size_t kRestartSpliceSlack = 16;
