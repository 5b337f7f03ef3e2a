#include "settings/user_message.h"

namespace {

// Set by tests only; read on the GUI thread.
UserMessageHook messageHook = nullptr;

}  // namespace

void ShowUserMessage(const char* text) {
  if (messageHook) {
    messageHook(text, kUserMessageCaption);
    return;
  }
  ShowUserMessageBox(text);
}

UserMessageHook SetUserMessageHook(UserMessageHook hook) {
  UserMessageHook previous = messageHook;
  messageHook = hook;
  return previous;
}
