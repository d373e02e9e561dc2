// namespace/ShellExtClasses.h - creation functions of the library's four COM
// classes, as the class table calls them.
#pragma once
#include <windows.h>

extern const CLSID CLSID_RPLFolder;
extern const CLSID CLSID_RPLContextMenu;
extern const CLSID CLSID_RPLPropSheetExt;
extern const CLSID CLSID_RPLSearchHandler;

HRESULT CreateRPLFolder(REFIID riid, void** ppv);          // namespace/RPLFolder.cpp
HRESULT CreateRPLContextMenu(REFIID riid, void** ppv);     // transfers/RPLContextMenu.cpp
HRESULT CreateRPLPropSheetExt(REFIID riid, void** ppv);    // transfers/RPLPropSheetExt.cpp
HRESULT CreateRPLSearchHandler(REFIID riid, void** ppv);   // search/RPLSearchHandler.cpp
