// resources/EntryIds.h - the library's registration scripts, icons and load-time texts.
#pragma once

// REGISTRY scripts of the four classes.
#define IDR_REG_FOLDER 201
#define IDR_REG_CONTEXTMENU 202
#define IDR_REG_PROPSHEET 203
#define IDR_REG_SEARCH 232

// Icon groups are found by position (",0", ",5" in the registry), which
// follows the ids: these six must stay the lowest icon ids of the library.
#define IDI_MODULE_FOLDER 100    // ",0"
#define IDI_MODULE_DEVICE 101
#define IDI_MODULE_DRIVE 102
#define IDI_MODULE_FILE 103
#define IDI_SEARCH_CONFIG 104
#define IDI_MODULE_SEARCH 105    // ",5"

#define IDS_FIND_ON_MODULE 8352
