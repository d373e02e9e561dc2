// resources/NamespaceIds.h - the namespace folder's shared menu, about box and texts.
#pragma once

// Shared menu and its command ids (the status help text of a command is the
// string with the same id).
#define IDR_SHARED_MENU 203
#define IDM_LARGE_ICONS 8192
#define IDM_SMALL_ICONS 8193
#define IDM_LIST 8194
#define IDM_DETAILS 8195
#define IDM_PROPERTIES 8196
#define IDM_BY_NAME 8197
#define IDM_BY_TYPE 8198
#define IDM_BY_SIZE 8199
#define IDM_BY_DATE 8200
#define IDM_AUTO_ARRANGE 8201
#define IDM_SNAP_TO_GRID 8202
#define IDM_CUT 8208
#define IDM_COPY 8209
#define IDM_DELETE 8210
#define IDM_RENAME 8211
#define IDM_EXPLORE 8213
#define IDM_OPEN 8214
#define IDM_PASTE 8215
#define IDM_SELECT_ALL 8246
#define IDM_INVERT_SELECTION 8247
#define IDM_FIND 8249
#define IDM_FORMAT 8261
#define IDM_DROP_MOVE 8273
#define IDM_DROP_COPY 8274
#define IDM_BY_FOLDER 8303
#define IDM_NEW_FOLDER 8324
#define IDM_STANDARD_FOLDERS 8327
#define IDM_REFRESH 8386
#define IDM_ABOUT 8393
#define IDM_BY_DRIVE_SIZE 8410
#define IDM_BY_FREE_SPACE 8412

// About box.
#define IDD_ABOUT 253
#define IDI_MODULE 202
#define IDC_ABOUT_TEXT 217

// Texts.
#define IDS_MODULE 8244
#define IDS_FILES_NOT_OPENED 8262
#define IDS_COLUMN_NAME 8263
#define IDS_COLUMN_SIZE 8264
#define IDS_COLUMN_TYPE 8265
#define IDS_COLUMN_MODIFIED 8266
#define IDS_COLUMN_FREE_SPACE 8405
#define IDS_COLUMN_TOTAL_SIZE 8406
#define IDS_CAPACITY 8407
#define IDS_USED 8408
#define IDS_FREE 8409
