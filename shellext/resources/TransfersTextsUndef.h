// resources/TransfersTextsUndef.h - lets the next language define the dialog texts anew.
#undef TXT_CANCEL
#undef TXT_YES
#undef TXT_NO
#undef TXT_REPLACE_ALL
#undef TXT_YES_TO_ALL
#undef TXT_DELETE_ALL
#undef TXT_FILE_REPLACE_TITLE
#undef TXT_FILE_REPLACE_EXISTING
#undef TXT_FILE_REPLACE_NEW
#undef TXT_FOLDER_REPLACE_TITLE
#undef TXT_FOLDER_REPLACE_TEXT
#undef TXT_MOVE_TITLE
#undef TXT_DELETE_SEVERAL_TITLE
#undef TXT_DELETE_SEVERAL_TEXT
