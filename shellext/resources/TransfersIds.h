// resources/TransfersIds.h - dialogs, animations, icons and texts of copy, move, delete and the commands.
#pragma once

// Dialog templates
#define IDD_DELETE_SEVERAL      208
#define IDD_DELETE_READONLY     213
#define IDD_DELETE_CONFIRM      214
#define IDD_PROGRESS            215
#define IDD_FILE_REPLACE        220
#define IDD_FOLDER_REPLACE      221
#define IDD_MOVE_CONFIRM        28675
#define IDD_MOVE_CONFIRM_ALL    28676

// Animations (no language)
#define IDR_AVI_DELETE          216
#define IDR_AVI_COPY            219

// Icons
#define IDI_DELETE_ITEMS        211
#define IDI_FOLDER_REPLACE      217
#define IDI_FILE_REPLACE        218
#define IDI_MOVE_CONFIRM        252

// Controls
#define IDC_PROGRESS_ITEM       102
#define IDC_PROGRESS_DETAIL     103
#define IDC_PROGRESS_BAR        104
#define IDC_PROGRESS_TIME       105
#define IDC_PROGRESS_ANIMATION  106
#define IDC_DELETE_TEXT         202
#define IDC_YES_TO_ALL          211
#define IDC_QUESTION            12291
#define IDC_MOVE_QUESTION       12293
#define IDC_EXISTING_ICON       12300
#define IDC_NEW_ICON            12301
#define IDC_NEW_FILE            12302
#define IDC_EXISTING_FILE       12303
#define IDC_REPLACE_ALL         12807

// Strings
#define IDS_CONFIRM_FILE_DELETE       8216
#define IDS_FILE_WILL_BE_DELETED      8217
#define IDS_CONFIRM_FOLDER_DELETE     8218
#define IDS_FOLDER_WILL_BE_DELETED    8219
#define IDS_FILE_IS_READONLY          8220
#define IDS_FOLDER_NOT_DELETED        8222
#define IDS_FILE_NOT_DELETED          8223
#define IDS_ERROR_DELETING_FOLDER     8224
#define IDS_ERROR_DELETING_FILE       8225
#define IDS_PREPARING_DELETE          8226
#define IDS_DELETING                  8227
#define IDS_DELETE_FROM               8228
#define IDS_FILE_EXISTS               8230
#define IDS_FOLDER_EXISTS             8231
#define IDS_TITLE_COPYING             8232
#define IDS_COPY_FROM_TO              8233
#define IDS_FOLDER_WHERE_FILE_GOES    8234
#define IDS_FILE_SIZE_DATE            8235
#define IDS_READONLY_FILE_EXISTS      8236
#define IDS_FILE_WHERE_FOLDER_GOES    8237
#define IDS_ERROR_COPYING_FILE        8240
#define IDS_ERROR_RENAMING_FILE       8241
#define IDS_RENAME_EXISTS             8242
#define IDS_RENAME_FAILED             8243
#define IDS_NEW_FOLDER                8325
#define IDS_NEW_FOLDER_NUMBERED       8326
#define IDS_TITLE_MOVING              8338
#define IDS_ERROR_CREATING_OBJECT     8353
#define IDS_COPY_FAILED               8356
#define IDS_CREATE_FAILED             8357
#define IDS_DELETE_FAILED             8358
#define IDS_ERROR_STD_DIRS            8359
#define IDS_STD_DIRS_FAILED           8360
#define IDS_PROPERTIES_OF             8361
#define IDS_ATTRIBUTES_FAILED         8362
#define IDS_GENERAL                   8363
#define IDS_LABEL_FAILED              8364
#define IDS_FORMAT_TITLE              8365
#define IDS_FORMAT_FAILED             8366
#define IDS_BAD_NAME_CHARACTERS       8385
#define IDS_MOVE_READONLY             8390
#define IDS_MOVE_SYSTEM               8391
#define IDS_TIME_REMAINING            8392   // 8392..8399: + 4 (one hour) + 2 (one minute) + 1 (one second)
#define IDS_FOLDER_IS_READONLY        8403
