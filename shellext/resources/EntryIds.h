// resources/EntryIds.h - the library's registration scripts, icons and load-time texts.
#pragma once

#define IDS_FIND_ON_MODULE 8352
