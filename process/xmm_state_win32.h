// Whether the system lets a program use SSE2: the processor has it and the system saves the XMM
// registers on a task switch. The start-up hands the answer to the fill (SetSystemSavesXmm).
#pragma once

// ---- Functions -------------------------------------------------------------------------------

// IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE): true from Windows XP on, on an
// SSE2 processor. False on the systems before XP, which do not know that feature (Windows 95
// lacks the function), though the later of them would save the registers.
bool SystemSavesXmm();
