// namespace/ClipboardFormats.cpp - registration of the clipboard formats.
#include "ClipboardFormats.h"

namespace {
ClipboardFormatIds g_formats = {};
}  // namespace

const ClipboardFormatIds& ClipboardFormats() { return g_formats; }

bool RegisterClipboardFormats() {
  // Order matters only for the record's layout; the first ten are required.
  static const struct { UINT ClipboardFormatIds::*id; const wchar_t* name; } kRequired[] = {
      {&ClipboardFormatIds::shellIdListArray, L"Shell IDList Array"},
      {&ClipboardFormatIds::fileContents, L"FileContents"},
      {&ClipboardFormatIds::fileGroupDescriptorW, L"FileGroupDescriptorW"},
      {&ClipboardFormatIds::preferredDropEffect, L"Preferred DropEffect"},
      {&ClipboardFormatIds::pasteSucceeded, L"Paste Succeeded"},
      {&ClipboardFormatIds::performedDropEffect, L"Performed DropEffect"},
      {&ClipboardFormatIds::logicalPerformedDropEffect, L"Logical Performed DropEffect"},
      {&ClipboardFormatIds::directoryData, L"RPL SNE Directory Data"},
      {&ClipboardFormatIds::converted, L"RPL SNE Converted"},
      {&ClipboardFormatIds::viewAddress, L"RPL SNE View Address"},
  };
  for (const auto& format : kRequired) {
    g_formats.*format.id = RegisterClipboardFormatW(format.name);
    if (!(g_formats.*format.id)) return false;
  }
  g_formats.targetClsid = RegisterClipboardFormatW(L"TargetCLSID");
  g_formats.hdrop = CF_HDROP;
  return true;
}
