// resources/PropertiesIds.h - the property pages of items, drives and the module root.
#pragma once

// Page templates
#define IDD_PAGE_FILE            1041
#define IDD_PAGE_SEVERAL         1042
#define IDD_PAGE_FOLDER          1044
#define IDD_PAGE_MODULE          1080
#define IDD_PAGE_DRIVE           1081
#define IDD_PAGE_PORT            28673

// Icons
#define IDI_SEVERAL_ITEMS        222

// Controls
#define IDC_PAGE_READONLY        205
#define IDC_PAGE_HIDDEN          207
#define IDC_PAGE_SYSTEM          208
#define IDC_PAGE_ARCHIVE         209
#define IDC_PAGE_CREATED         210
#define IDC_PAGE_SHORT_NAME      211
#define IDC_PAGE_TYPE            214
#define IDC_PAGE_NAME            215
#define IDC_PAGE_MODEL           216
#define IDC_PAGE_SIZE            217
#define IDC_PAGE_ICON            218
#define IDC_PAGE_TOTAL_BYTES     220
#define IDC_PAGE_LOCATION        221
#define IDC_PAGE_PORTS           222
#define IDC_PAGE_MODIFIED        13073
#define IDC_PAGE_ACCESSED        13074
#define IDC_PAGE_CONTAINS        14113
#define IDC_PAGE_USED_SQUARE     14403
#define IDC_PAGE_FREE_SQUARE     14404
#define IDC_PAGE_USED_SIZE       14405
#define IDC_PAGE_USED_BYTES      14406
#define IDC_PAGE_FREE_BYTES      14407
#define IDC_PAGE_FREE_SIZE       14408
#define IDC_PAGE_TOTAL_SIZE      14410
#define IDC_PAGE_CHART           14411
#define IDC_PAGE_FILE_SYSTEM     28677
#define IDC_PAGE_LABEL           28679

// Strings
#define IDS_VARIOUS_FOLDERS      8250
#define IDS_ALL_IN               8251
#define IDS_SEVERAL_TYPES        8252
#define IDS_ALL_OF_TYPE          8253
#define IDS_ONE_FILE             8254
#define IDS_FILES                8255
#define IDS_ONE_FOLDER           8256
#define IDS_FOLDERS              8257
#define IDS_SELECT_PORT          8258
