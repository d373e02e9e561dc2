// resources/DataObjectIds.h - texts of the data object's progress lines.
#pragma once
#define IDS_FROM_FOLDER 8284
