// resources/FormatIds.h - the format dialog: template, controls and texts.
#pragma once

#define IDD_FORMAT                28672

#define IDC_FORMAT_CAPACITY       28673
#define IDC_FORMAT_FILE_SYSTEM    28677
#define IDC_FORMAT_LABEL          28679
#define IDC_FORMAT_CLUSTER        28680
#define IDC_FORMAT_LABEL_TEXT     215

#define IDS_FORMAT_WARNING        8259
#define IDS_STANDARD_SIZE         8260
