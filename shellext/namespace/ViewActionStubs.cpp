// namespace/ViewActionStubs.cpp - stand-ins for the clipboard, drag, paste,
// delete, property sheet and format work until their own files
// define them (build with VKS_HAVE_VIEW_ACTIONS then, or delete this file).
#ifndef VKS_HAVE_VIEW_ACTIONS
#include "ViewActions.h"
#include "ClipboardFormats.h"

HRESULT PutItemsOnClipboard(const wchar_t*, RPLView*, const CItemIDList*, int, DWORD, IVKSNotifySink*) {
  return E_NOTIMPL;
}

bool ClipboardHasPastableData() {
  const UINT directory = ClipboardFormats().directoryData;
  return IsClipboardFormatAvailable(CF_HDROP) || (directory && IsClipboardFormatAvailable(directory));
}

HRESULT CreateDataObject(const wchar_t*, RPLView*, const CItemIDList*, int, DWORD, IVKSNotifySink*, bool,
                         IDataObject** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT SetDataObjectDword(IDataObject*, UINT, DWORD) { return E_NOTIMPL; }

HRESULT CreateDropSource(RPLView*, int, IDataObject*, IDropSource** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT CreateViewDropTarget(RPLView*, const wchar_t*, IDropTarget** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT StartPasteOperation(const wchar_t*, HWND, IDataObject*, DWORD, BOOL, DWORD, BOOL* done) {
  if (done) *done = FALSE;
  return E_NOTIMPL;
}

HRESULT StartDeleteOperation(const wchar_t*, CItemIDList* items, int, BOOL, HWND, IVKSNotifySink*) {
  delete[] items;
  return E_NOTIMPL;
}

HRESULT ShowPropertySheet(const wchar_t*, CItemIDList* items, int) {
  delete[] items;
  return E_NOTIMPL;
}

HRESULT ShowFormatDialog(const wchar_t*, ULONGLONG) { return E_NOTIMPL; }

#endif
