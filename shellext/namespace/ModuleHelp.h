// namespace/ModuleHelp.h - help, the about box, the connected module's model
// and the alignment of dialog controls to a resized dialog's right edge.
#pragma once
#include <windows.h>
#include <shlobj.h>

// Opens the help file beside the registered extension DLL (the command id is
// not used: there is one help file for every module model).
void ShowHelp(UINT commandId);

// 1 for "KD72", 2 for "WR08" (whole text, letters without case), else 0. The
// model name goes into the buffer, empty when the server gives none.
int GetModuleModelClass(wchar_t* buffer, int size);

// Modal; nothing when the template is missing.
void ShowAboutDialog(HWND owner);
// The about box's text: a first line, an empty line, the version.
const wchar_t* AboutText();

void StretchDlgItemWidth(HWND dialog, int controlId, int dialogWidth, int margin);
void AlignDlgItemRight(HWND dialog, int controlId, int dialogWidth, int distance);

// Opens the drives and folders among items (one-record lists below folder, an
// absolute list) in Explorer: "explore" for IDM_EXPLORE, else "open". Files
// cannot be opened in place; after the others one box says so. An item equal
// to skip (the folder the caller already shows) and invalid records are
// passed over.
void OpenFoldersInShell(UINT command, LPCITEMIDLIST folder, const LPCITEMIDLIST* items, UINT count,
                        LPCITEMIDLIST skip, HWND owner);
