// The saver's process entry.
#include "shell/saver_startup_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SaverStartup();
}
