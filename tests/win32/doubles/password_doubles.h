// What the test doubles of PASSWORD.CPL and MPR.DLL offer the tests besides the system entries
// they stand in for. In-process tests reach these through GetProcAddress on the loaded double;
// programs started by a test are configured through the environment and report through a log.
#pragma once

#include <windows.h>

// ---- Constants -------------------------------------------------------------------------------

// Environment variables read by the doubles at each call.
constexpr char kPasswordAnswerVariable[] = "VESPERINE_PASSWORD_ANSWER";  // "1": correct password
constexpr char kPasswordPromptMsVariable[] = "VESPERINE_PASSWORD_PROMPT_MS";  // modal loop length
constexpr char kPasswordLogVariable[] = "VESPERINE_PASSWORD_LOG";  // file that each call appends to
constexpr char kMprLogVariable[] = "VESPERINE_MPR_LOG";

// The doubles' test entries.
constexpr char kConfigurePasswordDouble[] = "ConfigurePasswordDouble";
constexpr char kPasswordDoubleCalls[] = "PasswordDoubleCalls";
constexpr char kPasswordDoubleLastWindow[] = "PasswordDoubleLastWindow";

// ---- Types -----------------------------------------------------------------------------------

// Runs inside "VerifyScreenSavePwd", while the prompt would be open.
using PasswordPromptHook = void (*)(HWND saverWindow);

// Sets the answer of every later prompt (overriding the environment) and a hook that each prompt
// calls; resets the call count.
using ConfigurePasswordDoubleFn = void(WINAPI*)(BOOL answer, PasswordPromptHook hook);
using PasswordDoubleCallsFn = LONG(WINAPI*)();
using PasswordDoubleLastWindowFn = HWND(WINAPI*)();
