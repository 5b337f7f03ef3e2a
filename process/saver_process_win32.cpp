#include "process/saver_process_win32.h"

HINSTANCE SaverInstance = nullptr;
BOOL IsWin9x = FALSE;
BOOL IsPreview = FALSE;
