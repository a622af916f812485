// The built language files (Common_Lang_<N>.txt beside the test programs) as the
// programs read them: each text's translation, and the code page a file is written in.
#pragma once

#include <map>
#include <string>

namespace qvt {

// English text -> translation, in the file's code page; empty when there is no file.
std::map<std::string, std::string> LanguageFile(int language);
// The code page named in the file's "[N] codepage C" line; 0 when there is none.
unsigned LanguageCodePage(int language);

}  // namespace qvt
