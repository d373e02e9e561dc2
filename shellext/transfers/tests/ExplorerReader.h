// transfers/tests/ExplorerReader.h - a PC target that takes virtual files
// from a data object as Explorer does: the descriptor, then each file's
// "FileContents" written whole under its name.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "ResultCodes.h"

// What Explorer does with virtual files: folders made, each file's block
// written whole under its name, then (for a move) the report, also after
// a failure. Gives the number of files that failed.
inline int ReadLikeExplorer(IDataObject* data, const std::wstring& target, bool reportMove) {
  int failed = 0;
  STGMEDIUM medium = {};
  FORMATETC etc = HGlobalFormat(ClipboardFormats().fileGroupDescriptorW);
  EXPECT_EQ(S_OK, data->GetData(&etc, &medium));
  if (medium.tymed != TYMED_HGLOBAL) return -1;
  std::vector<FILEDESCRIPTORW> records;
  {
    const auto* group = static_cast<const FILEGROUPDESCRIPTORW*>(GlobalLock(medium.hGlobal));
    records.assign(group->fgd, group->fgd + group->cItems);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
  }
  for (LONG i = 0; i < static_cast<LONG>(records.size()); ++i) {
    const std::wstring path = target + L"\\" + records[i].cFileName;
    if (records[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CreateDirectoryW(path.c_str(), nullptr);
      continue;
    }
    FORMATETC contents = HGlobalFormat(ClipboardFormats().fileContents);
    contents.lindex = i;
    contents.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
    STGMEDIUM file = {};
    const HRESULT hr = data->GetData(&contents, &file);
    if (FAILED(hr)) {
      ++failed;
      if (hr == E_TRANSFER_CANCELLED) break;   // the user stopped it all
      continue;
    }
    std::vector<BYTE> bytes(records[i].nFileSizeLow);
    if (file.tymed == TYMED_HGLOBAL) {
      EXPECT_GE(GlobalSize(file.hGlobal), bytes.size());
      if (!bytes.empty()) memcpy(bytes.data(), GlobalLock(file.hGlobal), bytes.size());
      GlobalUnlock(file.hGlobal);
    } else {
      EXPECT_EQ(0u, bytes.size());
    }
    ReleaseStgMedium(&file);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, handle) << path;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
  }
  if (reportMove) {
    SetDataObjectDword(data, ClipboardFormats().performedDropEffect, DROPEFFECT_MOVE);
    SetDataObjectDword(data, ClipboardFormats().pasteSucceeded, DROPEFFECT_MOVE);
  }
  return failed;
}
