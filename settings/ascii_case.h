// Windows compares registry names and file names without regard to case. Where this program
// compares them itself, ASCII letters are folded to lower case and every other byte (a code page's
// accented letters) is left as it is.
#pragma once

#include <string>

inline std::string FoldAsciiCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}
