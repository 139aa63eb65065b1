#pragma once
// Resource and control ids of LogDesk.exe.

#define IDD_ABOUTBOX 100
#define IDD_LOGDESK_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_LOG_TREE 1000
#define IDC_EVENT_LIST 1001
#define IDC_SCAN_LIST 1003
#define IDC_REPORT_LIST 1004
#define IDC_UPDATER_LIST 1013
#define IDC_REFRESH 1005
#define IDC_MAKER_LINE 1006
#define IDC_VERSION_LINE 1007
#define IDC_HELP_BUTTON 1008
#define IDC_SELECT_ALL 1009
#define IDC_CLEAR 1010
#define IDC_EXPORT 1011

// The About item of the system menu; system commands 16 to 31 open the About box.
#define IDM_ABOUTBOX 0x0010
