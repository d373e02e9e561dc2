// namespace/ShellHelpers.h - shell values, names, streams, message pumps and
// the list view's comparison of module items.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "SuiteString.h"

// The text of a STRRET; a STRRET_WSTR's memory is freed (shell allocator).
// Narrow texts are converted with the thread code page. Unknown kinds: empty.
CBstr StrRetToString(STRRET& value, LPCITEMIDLIST item);

CBstr GetWindowTextString(HWND window);
BOOL SetDlgItemString(HWND dialog, int id, const CBstr& text);

// Stat's size; streams that cannot Stat are measured by seeking to the end
// and back to where they were.
HRESULT GetStreamSize(IStream* stream, ULONGLONG* size);

// text and "\r\n" as UTF-16. E_FAIL on a short write.
HRESULT WriteLineToFile(HANDLE file, const CBstr& text);

// Characters a module name cannot hold, and their stand-ins in place
// ("?" -> "!", "*" -> "@", the others and "." -> "_").
bool IsIllegalNameChar(wchar_t character);
void ReplaceIllegalNameChars(wchar_t* text, int count);

// Dispatch what is waiting. A WM_QUIT taken on the way is posted again and
// ends the pump, so the thread's own loop still sees it.
void PumpMessages();
void PumpDialogMessages(HWND dialog);

// A text for the system: "" stands for a null string.
inline const wchar_t* TextOrEmpty(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

// LVM_SORTITEMS comparison of two module item records for a sort command.
int CompareModuleItems(LPCITEMIDLIST a, LPCITEMIDLIST b, UINT command, bool foldersFirst);
