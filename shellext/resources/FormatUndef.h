// resources/FormatUndef.h - lets the next language define the format dialog's texts anew.
#undef FMT_CAPTION
#undef FMT_CAPACITY
#undef FMT_FILE_SYSTEM
#undef FMT_CLUSTER
#undef FMT_LABEL
#undef FMT_START
#undef FMT_CLOSE
#undef FMT_WARNING
#undef FMT_STANDARD_SIZE
