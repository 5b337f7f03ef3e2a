#include "settings/ansi_text.h"

std::size_t LastPathSeparator(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t at = 0; at < path.size();) {
    if (path[at] == '\\') last = at;
    at += IsAnsiLeadByte(static_cast<unsigned char>(path[at])) && at + 1 < path.size() ? 2 : 1;
  }
  return last;
}

bool EndsWithPathSeparator(std::string_view path) {
  return !path.empty() && LastPathSeparator(path) == path.size() - 1;
}
