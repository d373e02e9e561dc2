// transfers/PropertySheet.h - the extension's own modeless property sheet of
// module items, drives or the module root, on a thread of its own.
#pragma once
#include <windows.h>
#include "ItemIDList.h"

// items: an array from new[] of count one-record lists (module items below
// folder path, or drive items); taken over in every case, freed on failure.
// No items: the root's pages for an empty path, a drive's page for a drive
// root name, else the General page of the entry at path. Returns once the
// sheet exists or its start failed.
HRESULT ShowPropertySheet(const wchar_t* path, CItemIDList* items, int count);
