// resources/ViewIds.h - the view's texts, panel picture and keyboard tables.
#pragma once

#define IDS_VIEW_OBJECTS 8267            // "%1!d! object(s)"
#define IDS_VIEW_OBJECTS_SELECTED 8268   // "%1!d! object(s) selected"
#define IDS_VIEW_IN_FOLDER 8341          // column of search results

#define IDB_VIEW_PANEL 268

#define IDA_VIEW_FOCUSED 227             // the view has the focus
#define IDA_VIEW_OTHER 250               // elsewhere in the window
