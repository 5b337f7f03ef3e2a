// While a MessageCapture lives, what ShowUserMessage would show (text and caption) is kept in
// CapturedMessages instead of shown. One at a time: the hook is process-wide.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/user_message.h"

inline std::vector<std::pair<std::string, std::string>> CapturedMessages;

class MessageCapture {
 public:
  MessageCapture() : previous_(SetUserMessageHook(&Capture)) { CapturedMessages.clear(); }
  ~MessageCapture() { SetUserMessageHook(previous_); }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

 private:
  static void Capture(const char* text, const char* caption) {
    CapturedMessages.emplace_back(text, caption);
  }

  UserMessageHook previous_;
};
