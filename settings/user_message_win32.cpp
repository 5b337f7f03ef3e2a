// The user message seam bound to USER32's message box.
#include <windows.h>

#include "settings/user_message.h"

void ShowUserMessageBox(const char* text) {
  MessageBoxA(nullptr, text, kUserMessageCaption, MB_OK);
}
