// search/RPLSearchHandler.h - the find-menu extension: opens a search window.
#pragma once
#include <windows.h>
#include <shlobj.h>

extern const CLSID CLSID_RPLSearchHandler;   // {4EEA3158-B33D-4b72-9FC9-40FE99F7A82F}

// The class factory's create function; outer may aggregate the object (it
// then must ask for IUnknown).
HRESULT CreateSearchHandler(IUnknown* outer, REFIID riid, void** ppv);
