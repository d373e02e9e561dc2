// transfers/RenameItemPending.cpp - stands in for the rename command until the
// transfers bring it; remove this file when ModuleCommands.cpp defines it.
#include "ModuleCommands.h"

HRESULT RenameItem(LPCITEMIDLIST, const wchar_t*, IVKSVolume*, HWND) { return E_NOTIMPL; }
