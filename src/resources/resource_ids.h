// Numbers of the program's resources and of the controls it addresses. Shared by
// setup.rc (through windres's preprocessor) and the C++ code, so plain #defines.
#pragma once

// Pictures.
#define IDB_SPLASH          123
#define IDI_EXPRESS_RAISED  106
#define IDI_EXPRESS_PRESSED 107
#define IDI_CUSTOM_PRESSED  108
#define IDI_CUSTOM_RAISED   109
#define IDI_CUSTOM_FOCUS    120
#define IDI_EXPRESS_FOCUS   121
#define IDC_HOURGLASS       125

// Static texts the program never addresses.
#define IDC_STATIC_TEXT 65535

// WELCOMEDLG
#define IDC_WELCOME_EXIT     1000
#define IDC_WELCOME_CONTINUE 1001

// INSTOPTION
#define IDC_EXPRESS_BUTTON   1002
#define IDC_CUSTOM_BUTTON    1003
#define IDC_PATH_EDIT        1004
#define IDC_INSTALL_TO_LABEL 1005
#define IDC_OPTION_CONTINUE  1006
#define IDC_OPTION_EXIT      1007
#define IDC_DRIVE_LIST       1015
#define IDC_EXAMPLE_LABEL    1020

// COPYDIALOG
#define IDC_COPY_CANCEL 1011
#define IDC_COPY_FROM   1024
#define IDC_COPY_TO     1025

// SUCCESSDLG
#define IDC_RESTART_NOW      1012
#define IDC_SUCCESS_CONTINUE 1013

// FOUNDWINDOW
#define IDC_FOUND_OK 1027
