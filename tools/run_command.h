// vesperine-render run: the saver's timer ticks played headless on a desktop picture, with the
// same cycle, texture loader and fill as the saver.
#pragma once

#include "tools/command_line.h"

// ---- Functions -------------------------------------------------------------------------------

// Runs the ticks that `request` asks for and writes its pictures. Returns the exit status: 0, or
// 1 when a file cannot be read or written (one line on standard error, and no picture is left
// behind). A texture that cannot be read is reported on standard error and left out.
int RunTicks(const RenderRequest& request);
