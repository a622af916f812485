#include "support/langfile.h"

#include <cstdlib>
#include <cstring>

#include "support/qvtest.h"

namespace qvt {

namespace {

std::string Unescape(const std::string& t) {
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\\' && i + 1 < t.size() && strchr("trn\\", t[i + 1])) {
      char c = t[++i];
      out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : '\\';
    } else {
      out += t[i];
    }
  }
  return out;
}

std::string FileOf(int language) {
  std::string data;
  ReadFile(BinPath("Common_Lang_" + std::to_string(language) + ".txt"), &data);
  return data;
}

}  // namespace

std::map<std::string, std::string> LanguageFile(int language) {
  std::map<std::string, std::string> texts;
  std::string data = FileOf(language);
  size_t at = 0;
  for (size_t end; (end = data.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string line = data.substr(at, end - at);
    size_t tab = line.find('\t');
    if (line.empty() || line[0] == ';' || line[0] == '[' || tab == std::string::npos) continue;
    texts[Unescape(line.substr(0, tab))] = Unescape(line.substr(tab + 1));
  }
  return texts;
}

unsigned LanguageCodePage(int language) {
  std::string data = FileOf(language);
  size_t at = data.find("] codepage ");
  return at == std::string::npos ? 0 : static_cast<unsigned>(strtoul(data.c_str() + at + 11, nullptr, 10));
}

}  // namespace qvt
