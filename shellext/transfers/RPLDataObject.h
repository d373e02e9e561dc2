// transfers/RPLDataObject.h - the data object through which module items
// leave the namespace: virtual files ("FileGroupDescriptorW", "FileContents")
// for PC targets, "RPL SNE Directory Data" for the extension's own engine,
// and the drop-effect formats targets write back. A reported move deletes the
// source items. Clipboard objects live on an owner thread of their own.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include "TransferViewSite.h"
#include "VKSServer.h"

// items: count relative one-record lists of the folder at folderPath (each
// record holds the full module path). view and sink may be null. With
// clipboard the object is made on its owner thread and put on the clipboard,
// and *out is a proxy to it. Every file of the selection is asked of the
// server at once, so the contents stream in while the user picks a target.
HRESULT CreateDataObject(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items,
                         UINT count, DWORD preferredEffect, IVKSNotifySink* sink, bool clipboard,
                         IDataObject** out);

// Cut (effect 2) and copy (1). A drive root only plays ".Default"; a failure
// shows the copy error box without a name.
HRESULT PutItemsOnClipboard(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items,
                            UINT count, DWORD effect, IVKSNotifySink* sink);

// Whether the clipboard offers PC files or module items.
bool ClipboardHasPastableData();
