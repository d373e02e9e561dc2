// namespace/ClipboardFormats.h - the clipboard format ids registered at load.
#pragma once
#include <windows.h>

// Registered once at attach, read-only afterwards.
struct ClipboardFormatIds {
  UINT shellIdListArray;          // "Shell IDList Array"
  UINT fileContents;              // "FileContents"
  UINT fileGroupDescriptorW;      // "FileGroupDescriptorW"
  UINT preferredDropEffect;       // "Preferred DropEffect"
  UINT pasteSucceeded;            // "Paste Succeeded"
  UINT performedDropEffect;       // "Performed DropEffect"
  UINT logicalPerformedDropEffect;// "Logical Performed DropEffect"
  UINT directoryData;             // "RPL SNE Directory Data"
  UINT converted;                 // "RPL SNE Converted"
  UINT viewAddress;               // "RPL SNE View Address"
  UINT targetClsid;               // "TargetCLSID", may be 0
  UINT hdrop;                     // CF_HDROP
};

const ClipboardFormatIds& ClipboardFormats();

// false when one of the first ten could not be registered.
bool RegisterClipboardFormats();
