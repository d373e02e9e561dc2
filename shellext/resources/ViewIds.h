// resources/ViewIds.h - the view's texts, panel picture and keyboard tables.
#pragma once

#define IDS_VIEW_OBJECTS 8267            // "%1!d! object(s)"
#define IDS_VIEW_OBJECTS_SELECTED 8268   // "%1!d! object(s) selected"
#define IDS_VIEW_IN_FOLDER 8341          // column of search results

#define IDB_VIEW_PANEL 268

#define IDA_VIEW_FOCUSED 227             // the view has the focus
#define IDA_VIEW_OTHER 250               // elsewhere in the window

// Status help of the commands: the string with the command's id.
#define IDS_HELP_ARRANGE_ICONS 8272      // the Arrange Icons popup in the View menu
#define IDS_HELP_ABOUT 8420              // the about command (8393 is another text)
#define IDS_PANEL_SELECT 8279            // "Select an object to display its description."
#define IDS_PANEL_MODIFIED 8280
#define IDS_PANEL_SIZE 8281              // "Size: %1"
#define IDS_PANEL_TOTAL_SIZE 8282
#define IDS_PANEL_ITEMS_SELECTED 8283    // "%1!d! items selected."
#define IDS_TIP_CUT 8285
#define IDS_TIP_COPY 8286
#define IDS_TIP_PASTE 8287
#define IDS_TIP_DELETE 8288
#define IDS_TIP_PROPERTIES 8289
#define IDS_TIP_LARGE_ICONS 8291
#define IDS_TIP_SMALL_ICONS 8292
#define IDS_TIP_LIST 8293
#define IDS_TIP_DETAILS 8294
