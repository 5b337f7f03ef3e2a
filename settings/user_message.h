// The seam for what the user must be told: a modal message box with no owner window, captioned
// "Message", with an OK button (user_message_win32.cpp). The portable binding
// (user_message_memory.cpp) writes the text to standard error as one line. Either can be
// redirected to a hook, so that tests capture messages and no box waits for a click.
// Portable header: no <windows.h>.
#pragma once

// ---- Constants -------------------------------------------------------------------------------

constexpr char kUserMessageCaption[] = "Message";

// ---- Types -----------------------------------------------------------------------------------

using UserMessageHook = void (*)(const char* text, const char* caption);

// ---- Functions -------------------------------------------------------------------------------

// Shows `text` and returns when the user has closed the box.
void ShowUserMessage(const char* text);

// While a hook is set (not null), messages go to it instead. Returns the hook it replaces.
UserMessageHook SetUserMessageHook(UserMessageHook hook);

// The binding's own way of showing a message (the box, or a line on standard error).
void ShowUserMessageBox(const char* text);
