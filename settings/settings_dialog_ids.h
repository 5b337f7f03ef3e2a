// Resource ids of the settings dialog, shared by its resource script and its code. Plain macros:
// the resource compiler reads this file too.
#pragma once

#define IDD_SETTINGS 2003

#define IDC_TEXTURE_LIST 1001
#define IDC_ADD_TEXTURE 1002
#define IDC_REMOVE_TEXTURE 1003
#define IDC_REFRESH_SLIDER 1004
#define IDC_APPLY 1005
#define IDC_SPEED_SLIDER 1016
