// Resource and control ids of Brevant.exe. Other programs and our checks
// find windows by these ids: they are part of the tool's interface.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_BREVANT_DIALOG 102
#define IDD_HIDDEN 175
#define IDD_MSGBOX 176
#define IDD_MODIFY_PIN 171
#define IDD_MODIFY_LABEL 173
#define IDD_KEY_INFO 168

// Pictures, cursor, icon, menu.
#define IDC_POPUP_HAND 164
#define IDB_POPUP_BACKGROUND 165
#define IDR_TRAY_MENU 167
#define IDB_TREE_IMAGES 177
#define IDI_BREVANT 185
// The same pictures drawn at other display scales (picture_resources.h).
#define IDB_POPUP_BACKGROUND_125 301
#define IDB_POPUP_BACKGROUND_150 302
#define IDB_POPUP_BACKGROUND_200 303
#define IDB_TREE_IMAGES_125 311
#define IDB_TREE_IMAGES_150 312
#define IDB_TREE_IMAGES_200 313

// Strings.
#define IDS_ABOUTBOX 101

// Main window controls.
#define IDC_KEY_TREE 1000
#define IDC_DETAILS_LIST 1001
#define IDC_CHANGE_PIN 1003
#define IDC_CHANGE_LABEL 1004
#define IDC_CERT_INFO 1005
#define IDC_HIDE 1009
#define IDC_FORMAT 1010
#define IDC_WELCOME_TEXT 1223
#define IDC_KEY_INFO 1230
#define IDC_BANNER 1231
#define IDC_BUTTON_FRAME 1232
#define IDC_UNUSED_BUTTON 1235
#define IDC_KEY_FRAME 1264

// PIN change dialog.
#define IDC_OLD_PIN 1218
#define IDC_NEW_PIN 1219
#define IDC_CONFIRM_PIN 1220
#define IDC_PIN_STRENGTH 1221
#define IDC_PIN_SOFT_KEYBOARD 1230
#define IDC_PIN_RULE_TEXT 1241
#define IDC_OLD_PIN_LABEL 1242
#define IDC_NEW_PIN_LABEL 1243
#define IDC_CONFIRM_PIN_LABEL 1244
#define IDC_PIN_STRENGTH_LABEL 1245

// Label change dialog.
#define IDC_LABEL_NAME 1009
#define IDC_LABEL_PIN 1010
#define IDC_LABEL_NAME_CAPTION 1013
#define IDC_LABEL_PIN_CAPTION 1014
#define IDC_LABEL_HINT 1232
#define IDC_LABEL_PIN_HINT 1267
#define IDC_LABEL_SOFT_KEYBOARD 1236

// Key information dialog.
#define IDC_KEY_INFO_LIST 1001

// Commands other programs send; no control carries them.
#define ID_CMD_START_BROWSER 1002
#define ID_CMD_REGISTER_CERTS 1233
#define ID_CMD_REMOVE_CERTS 1234

// About box and message box.
#define IDC_ABOUT_OK 1230
#define IDC_ABOUT_PHONE 1237
#define IDC_ABOUT_URL 1238
#define IDC_ABOUT_BANK 1239
#define IDC_MSGBOX_TEXT 1240

// Menu commands.
#define ID_MENU_LOGIN 32773
#define ID_MENU_SHOWTOOL 32776
#define ID_MENU_ABOUT 32777
#define ID_MENU_EXIT 32780
#define ID_MENU_SHOW_OLD 32783
#define ID_MENU_CONFIRM_EXIT 32787

// The system menu's about entry.
#define IDM_ABOUTBOX 0x0010
