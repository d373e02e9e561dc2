// resources/PasteIds.h - texts of the paste engine's boxes and copy names.
#pragma once
#define IDS_SAME_SOURCE_FOLDER        8238
#define IDS_TARGET_IS_SUBFOLDER       8239
#define IDS_COPY_OF                   8277
#define IDS_COPY_NUMBERED_OF          8278
#define IDS_FILE_TOO_LARGE            8339
#define IDS_ERROR_MOVING_FILE         8387
#define IDS_MOVE_SAME_FILE            8388
#define IDS_MOVE_SAME_FOLDER          8389
