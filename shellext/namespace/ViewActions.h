// namespace/ViewActions.h - the clipboard, drag, paste, delete, property
// sheet, format and search work the view hands on to the transfers and the
// search window.
#pragma once
#include <windows.h>
#include <ole2.h>
#include "ItemIDList.h"
#include "VKSServer.h"

class RPLView;

// Cut (effect 2) or copy (1) of items in folder; view and sink may be null.
HRESULT PutItemsOnClipboard(const wchar_t* folder, RPLView* view, const CItemIDList* items, int count,
                            DWORD effect, IVKSNotifySink* sink);
// True when the clipboard offers CF_HDROP or "RPL SNE Directory Data".
bool ClipboardHasPastableData();
HRESULT CreateDataObject(const wchar_t* folder, RPLView* view, const CItemIDList* items, int count,
                         DWORD preferredEffect, IVKSNotifySink* sink, bool clipboard, IDataObject** out);
HRESULT SetDataObjectDword(IDataObject* data, UINT format, DWORD value);
// button 1 left, 2 right.
HRESULT CreateDropSource(RPLView* view, int button, IDataObject* data, IDropSource** out);
// Drops on the view's background go into its folder.
HRESULT CreateViewDropTarget(RPLView* view, const wchar_t* path, IDropTarget** out);

HRESULT StartPasteOperation(const wchar_t* target, HWND owner, IDataObject* data, DWORD effect, BOOL wait,
                            DWORD reserved, BOOL* done);
// The operation takes the items over (new[] arrays), also when it fails.
HRESULT StartDeleteOperation(const wchar_t* folder, CItemIDList* items, int count, BOOL noConfirmation,
                             HWND owner, IVKSNotifySink* sink);
// The sheet takes the items over (new[] arrays, may be null), also when it fails.
HRESULT ShowPropertySheet(const wchar_t* folder, CItemIDList* items, int count);
HRESULT ShowFormatDialog(const wchar_t* volume, ULONGLONG capacity);
HRESULT OpenSearchWindow(const wchar_t* path);
