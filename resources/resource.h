// Resource and command ids shared by the program's code and its resource script.
#pragma once

#define IDR_MAIN_MENU 102
#define IDD_MANAGE 101
#define IDD_ABOUT 116
#define IDD_SCAN_PROGRESS 120
#define IDD_MERIT 122

#define IDI_APP 123
#define IDB_ADD_CODEC 104
#define IDB_MANAGE 106
#define IDB_HELP 108
#define IDB_HOME_PAGE 110
#define IDB_INFO 112
#define IDB_PROPERTIES 114
#define IDB_LOGO 118

// Main window controls.
#define IDC_FILTER_LIST 100
#define IDC_CATEGORY_COMBO 101
#define IDC_SHOW_SYSTEM 102

// Commands shared by the menu and the picture buttons.
#define IDM_REFRESH 40000
#define IDM_REGISTER_NEW 40001
#define IDM_MANAGE 40002
#define IDM_PROPERTIES 40003
#define IDM_SCAN 40004
#define IDM_EXIT 40006
#define IDM_HELP 40007
#define IDM_HOME_PAGE 40008
#define IDM_FORUM 40009
#define IDM_ABOUT 40010
#define IDM_REGISTER_ADDITIONAL 40011
#define IDM_REGISTER_MAIN 40030
#define IDM_SAVE_REPORT 40041

// Tooltip texts.
#define IDS_TIP_MANAGE 40000
#define IDS_TIP_PROPERTIES 40001
#define IDS_TIP_ADD_CODEC 40002
#define IDS_TIP_HOME_PAGE 40003
#define IDS_TIP_HELP 40004
#define IDS_TIP_INFO 40005

// Management dialog.
#define IDC_CHANGE_MERIT 1001
#define IDC_FRIENDLY_NAME 1005
#define IDC_OBJECT_NAME 1007
#define IDC_CLASS_ID 1009
#define IDC_SERVER_PATH 1011
#define IDC_UNREGISTER 1013
#define IDC_CHECK_FILE 1014
#define IDC_DELETE_CODEC 1015
#define IDC_MERIT_TEXT 40020

// About box.
#define IDC_ABOUT_TEXT 40013
#define IDC_ABOUT_HOME_PAGE 40008
#define IDC_ABOUT_FEEDBACK 40019

// Scan progress dialog.
#define IDC_SCAN_CATEGORY 40014
#define IDC_SCAN_ITEM 40016
#define IDC_SCAN_BAR 40018

// Merit dialog.
#define IDC_MERIT_NUMBER 40020
#define IDC_MERIT_PREFERRED 40026
#define IDC_MERIT_NORMAL 40027
#define IDC_MERIT_UNLIKELY 40028
#define IDC_MERIT_DO_NOT_USE 40029
