// The user message seam without a screen: each message becomes one line on standard error, its
// line breaks turned into spaces.
#include <cstdio>

#include "settings/user_message.h"

void ShowUserMessageBox(const char* text) {
  std::fprintf(stderr, "%s: ", kUserMessageCaption);
  for (const char* c = text; *c; ++c)
    std::fputc(*c == '\n' || *c == '\r' ? ' ' : *c, stderr);
  std::fputc('\n', stderr);
}
