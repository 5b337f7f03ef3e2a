// How vesperine-render ends when it cannot do what it was asked: its exit statuses, and the one
// line on standard error that names the problem.
#pragma once

#include <cstdio>
#include <string>

constexpr int kExitFailure = 1;  // a file cannot be read or written, or memory ran out
constexpr int kExitUsage = 2;    // the command line asks for something impossible

inline int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "vesperine-render: %s\n", message.c_str());
  return status;
}
