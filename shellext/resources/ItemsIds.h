// resources/ItemsIds.h - texts of item records and sizes.
#pragma once

#define IDS_SIZE_ONE_BYTE 8331
#define IDS_SIZE_BYTES 8332
#define IDS_SIZE_KB 8333
#define IDS_SIZE_MB 8334
#define IDS_SIZE_GB 8335
#define IDS_SIZE_TB 8336
#define IDS_SIZE_PB 8337
#define IDS_MODULE_DISK 8404
