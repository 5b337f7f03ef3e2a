// The saver's process entry, what must be in place before any constructor of the program or of
// its runtime runs (the narrowed DLL search, the stack protector's guard value), and the few
// pieces of the runtime that the saver replaces.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "process/system_files_win32.h"
#include "shell/saver_startup_win32.h"

namespace {

// Every DLL that the process loads by name from now on, the system's own included, comes from the
// system folder, never from the saver's folder (savers are run from Downloads) or the current
// one. Systems without SetDefaultDllDirectories (before Windows 8 and its update for 7) at least
// drop the current folder; Windows 9x and 2000 have neither.
void NarrowDllSearch() {
  const HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);
  const auto setDefault = FindEntry<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  const auto setDirectory = FindEntry<SetDllDirectoryAFn>(kernel, "SetDllDirectoryA");
  if (setDirectory != nullptr) setDirectory("");
}

// The guard's seed: what differs from one run to the next, all of it in Windows 95 and none of it
// loading a DLL: the clock, the tick count, the performance counter, the process and thread, and
// two addresses that ASLR moves (the image's and the stack's). A CryptoAPI seed would load
// provider DLLs through the default search order, and the first Windows 95 has no CryptoAPI.
std::uintptr_t GuardSeed() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint32_t seed = now.dwHighDateTime ^ now.dwLowDateTime;
  seed ^= GetCurrentProcessId() << 16;
  seed ^= GetCurrentThreadId();
  seed ^= GetTickCount() << 8;
  seed ^=
      static_cast<std::uint32_t>(counter.HighPart) ^ static_cast<std::uint32_t>(counter.LowPart);
  const volatile int onStack = 0;
  std::uintptr_t value = seed ^ reinterpret_cast<std::uintptr_t>(&onStack) ^
                         reinterpret_cast<std::uintptr_t>(&GuardSeed);
  // A zero byte at the bottom stops a string overrun from copying the guard it needs to match.
  return value & ~static_cast<std::uintptr_t>(0xFF);
}

[[noreturn]] void EndAtOnce() {
  TerminateProcess(GetCurrentProcess(), 3);
  for (;;)
    ExitProcess(3);
}

}  // namespace

extern "C" {

// The stack protector's guard, set by ProcessStart: defined here, so the runtime's own (seeded
// through the CryptoAPI by a constructor of its own) is never linked in.
std::uintptr_t __stack_chk_guard = 0x5A3C9600u;

// A smashed stack or a failed buffer check: nothing of the process can be trusted, so it ends
// without running exit handlers or DLL detach code.
[[noreturn]] void __stack_chk_fail() {
  EndAtOnce();
}
[[noreturn]] void __chk_fail() {
  EndAtOnce();
}

}  // extern "C"

#ifdef _GLIBCXX_ASSERTIONS
// A failed library assertion (the 32-bit build has them) ends the process the same way, instead
// of printing to a console that a screen saver does not have.
namespace std {
[[noreturn]] void __glibcxx_assert_fail(const char*, int, const char*, const char*) noexcept {
  EndAtOnce();
}
}  // namespace std
#endif

// Every allocation comes through here: the runtime's own operator new is built for the Pentium Pro
// (a CMOV), this one for whatever processor the saver's build targets. The runtime's nothrow forms
// call the throwing one and catch; these never throw, so a failed nothrow allocation does not
// unwind through the runtime's prebuilt exception code either.
void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}

// std::terminate's default handler names the uncaught exception on a console the saver does not
// have, through the runtime's demangler and number formatting; this one ends the process at once.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  EndAtOnce();
}
}  // namespace __gnu_cxx

// The first constructor of the program (priority 101 runs before the default 65535 of every other
// one, the runtime's included), before any code that could load a DLL or return through a
// protected frame; its own frame is not protected, since the guard changes under it.
__attribute__((constructor(101), no_stack_protector)) static void ProcessStart() {
  NarrowDllSearch();
  __stack_chk_guard = GuardSeed();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SaverStartup();
}
