#include "process/saver_process_win32.h"

HINSTANCE SaverInstance = nullptr;
BOOL IsPreview = FALSE;
