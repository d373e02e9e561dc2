// transfers/PasteEngine.cpp - the paste worker: PC files to the module,
// module items within it, prompts, progress and the write-back.
#include "PasteEngine.h"
#include <process.h>
#include <mmsystem.h>
#include <new>
#include <vector>
#include "DataObjectFormats.h"
#include "ClipboardFormats.h"
#include "ErrorText.h"
#include "MessageFilter.h"
#include "MessageWait.h"
#include "ModuleCommands.h"
#include "ModuleEntry.h"
#include "ModuleItemID.h"
#include "ResourceModule.h"
#include "RPLFileStream.h"
#include "RPLProgressStream.h"
#include "Seams.h"
#include "ShellHelpers.h"
#include "PasteIds.h"
#include "SuiteUtil.h"
#include "TransfersIds.h"
#include "WorkerCount.h"

namespace {

CWorkerCount& Workers() {
  static CWorkerCount workers;
  return workers;
}

bool IsMove(const PasteJob* job) { return (job->effect & DROPEFFECT_MOVE) != 0; }

// Module paths name the same item whatever their case.
bool SamePath(const wchar_t* a, const wchar_t* b) { return CompareText(a, b, FALSE) == 0; }

CBstr JoinPath(const wchar_t* folder, const wchar_t* name) {
  return ConcatStrings(ConcatStrings(CBstr(folder), L"\\"), name);
}

// The progress dialog's Cancel button and keys stay alive between items.
void PumpJobMessages(const PasteJob* job) { PumpDialogMessages(job->progress ? job->progress->GetWindow() : nullptr); }

// An OK/Cancel error box; Cancel stops the whole paste.
void AskErrorBox(PasteJob* job, UINT captionId, const CBstr& text) {
  const int answer = ShellUi().ShowMessageBox(
      job->owner, TextOrEmpty(text), TextOrEmpty(g_resourceModule.LoadResString(captionId)), MB_OKCANCEL | MB_ICONHAND);
  if (answer == IDCANCEL) job->cancelled = 1;
}

void ShowCopyFailed(PasteJob* job, const wchar_t* name, const CBstr& error) {
  AskErrorBox(job, IDS_ERROR_COPYING_FILE, g_resourceModule.FormatResMessage(IDS_COPY_FAILED, name, error));
}

// After a failed or cancelled write only our incomplete file can stand at the
// destination (an older one was deleted first, or there was none), unless the
// server refused because one is there.
void RemoveIncompleteTarget(PasteJob* job, const CBstr& destination, HRESULT result) {
  if (result == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) || result == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS)) return;
  job->volume->Delete(destination.GetBstr());
}

void CreateProgress(PasteJob* job, ULONGLONG total) {
  job->progress = new (std::nothrow) ProgressDialog();
  if (!job->progress) return;
  job->progress->Create(IsMove(job) ? ProgressMode::Move : ProgressMode::Copy, total, &job->cancelled, nullptr);
  if (job->progress->GetWindow()) job->owner = job->progress->GetWindow();
}

// The paths of a CF_HDROP block; a path that cannot be read stays empty. A
// path of MAX_PATH units or more would be cut by the platform's buffer and
// could then name another file, so it is refused with a box.
bool ReadDropPaths(PasteJob* job, HDROP drop, UINT count, std::vector<CBstr>* paths) {
  bool complete = true;
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) {
      complete = false;
      continue;
    }
    std::vector<wchar_t> buffer(length + 1);
    if (DragQueryFileW(drop, i, buffer.data(), length + 1) != length) {
      complete = false;
      continue;
    }
    if (length >= MAX_PATH) {
      complete = false;
      if (!job->cancelled)
        ShowCopyFailed(job, TextOrEmpty(GetNamePart(CBstr(buffer.data()))),
                       GetErrorText(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)));
      continue;
    }
    (*paths)[i] = CBstr(buffer.data());
  }
  return complete;
}

// A DROPFILES block can come from any process: its list must start after the
// header and end, with its empty name, inside the block.
bool IsWellFormedDrop(HGLOBAL block) {
  const SIZE_T size = GlobalSize(block);
  const BYTE* bytes = static_cast<const BYTE*>(GlobalLock(block));
  if (!bytes) return false;
  bool ended = false;
  if (size >= sizeof(DROPFILES)) {
    const auto* header = reinterpret_cast<const DROPFILES*>(bytes);
    const SIZE_T unit = header->fWide ? 2 : 1;
    bool previousWasNul = false;
    for (SIZE_T at = header->pFiles; at >= sizeof(DROPFILES) && at + unit <= size; at += unit) {
      const bool nul = bytes[at] == 0 && (unit == 1 || bytes[at + 1] == 0);
      if (nul && previousWasNul) {
        ended = true;
        break;
      }
      previousWasNul = nul;
    }
  }
  GlobalUnlock(block);
  return ended;
}

ULONGLONG SizeOf(const WIN32_FIND_DATAW& found) {
  return (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

bool IsDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// A folder's own replace-all flags start as its parent's; a non-zero answer
// of the preparation skips the folder.
HRESULT EnterTargetFolder(PasteJob* job, const CBstr& destination, DWORD* parentFiles, DWORD* parentFolders,
                          DWORD attributes, DWORD* files, DWORD* folders) {
  *files = *parentFiles;
  *folders = *parentFolders;
  const HRESULT hr =
      EnsureTargetFolder(job, TextOrEmpty(destination), files, folders, parentFiles, parentFolders, attributes);
  if (hr != S_OK) job->skipped = 1;
  return hr;
}

// Wine's proxy of a marshalled data object refuses SetData (E_NOTIMPL): a
// caller that waits gets the value to write on its own thread, where the
// object lives, after the worker has ended.
void WriteBack(PasteJob* job, UINT format, DWORD value) {
  const HRESULT hr = SetDataObjectDword(job->data, format, value);
  if (hr == E_NOTIMPL && job->deferredWrites) job->deferredWrites->push_back({format, value});
}

}  // namespace

PasteJob::~PasteJob() {
  if (progress) {
    progress->Destroy();
    delete progress;
  }
  if (volume) volume->Release();
  if (data) data->Release();
  if (marshalled) {
    CoReleaseMarshalData(marshalled);
    marshalled->Release();
  }
}

PasteWriteBack DecidePasteWriteBack(DWORD getFormats, DWORD effect, bool complete) {
  PasteWriteBack decision{false, false, 0};
  if (!(effect & DROPEFFECT_MOVE)) return decision;
  decision.performedAtStart = (getFormats & kFormatDirectoryData) == 0;
  decision.pasteSucceededAtEnd = true;
  decision.pasteSucceeded = complete ? DROPEFFECT_MOVE : 0;
  return decision;
}

HRESULT StartPasteOperation(const wchar_t* targetFolder, HWND owner, IDataObject* data, DWORD requestedEffect,
                            BOOL wait, DWORD reserved, DWORD* succeeded) {
  auto* job = new (std::nothrow) PasteJob();
  if (!job) return E_OUTOFMEMORY;
  return RunPasteOperation(job, targetFolder, owner, data, requestedEffect, wait, reserved, succeeded);
}

HRESULT RunPasteOperation(PasteJob* job, const wchar_t* targetFolder, HWND owner, IDataObject* data,
                          DWORD requestedEffect, BOOL wait, DWORD, DWORD* succeeded) {
  // Cleared before anything else, so that no early return leaves a caller's
  // stale 1 behind.
  if (succeeded) *succeeded = 0;
  if (!targetFolder || !*targetFolder) {
    ShellUi().PlaySystemSound(L".Default", SND_ASYNC);
    delete job;
    return S_OK;
  }
  job->target = CBstr(targetFolder);
  job->owner = owner;
  job->requestedEffect = requestedEffect;
  job->succeeded = succeeded;
  std::vector<std::pair<UINT, DWORD>> deferred;
  if (wait) job->deferredWrites = &deferred;
  IDataObject* source = data;
  if (source) {
    source->AddRef();
  } else {
    const HRESULT hr = OleGetClipboard(&source);
    if (FAILED(hr)) {
      delete job;
      return hr;
    }
  }
  InspectDataObjectFormats(source, nullptr, &job->getFormats, &job->setFormats);
  if (!(job->getFormats & (kFormatHdrop | kFormatDirectoryData))) {
    source->Release();
    delete job;
    return E_FAIL;
  }
  HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IDataObject, source, &job->marshalled);
  if (FAILED(hr)) {
    job->marshalled = nullptr;
    source->Release();
    delete job;
    return hr;
  }
  // The worker keeps the library loaded until it has left its code.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&PasteWorkerThread), &self);
  ShellExtLock();
  Workers().Starts();
  const uintptr_t thread = _beginthreadex(nullptr, 0, PasteWorkerThread, job, 0, nullptr);
  if (!thread) {
    Workers().Ends();
    ShellExtUnlock();
    if (self) FreeLibrary(self);
    delete job;
    source->Release();
    return E_FAIL;
  }
  const HANDLE handle = reinterpret_cast<HANDLE>(thread);
  hr = S_OK;
  if (wait) {
    // Messages are dispatched as they come, not every 100 ms: each call the
    // worker makes into the data object waits for this thread's next dispatch.
    // The worker (which owns the job) fills the deferred writes before it ends.
    DWORD code = static_cast<DWORD>(E_FAIL);
    if (WaitWithMessageLoop(handle, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeThread(handle, &code))
      code = static_cast<DWORD>(E_FAIL);
    hr = static_cast<HRESULT>(code);
    for (const auto& write : deferred) SetDataObjectDword(source, write.first, write.second);
  }
  CloseHandle(handle);
  source->Release();
  return hr;
}

unsigned __stdcall PasteWorkerThread(void* parameter) {
  auto* job = static_cast<PasteJob*>(parameter);
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&PasteWorkerThread), &self);
  auto leave = [self](HRESULT code) {
    Workers().Ends();
    ShellExtUnlock();
    if (self) FreeLibraryAndExitThread(self, static_cast<DWORD>(code));
    return static_cast<unsigned>(code);
  };
  HRESULT code = OleInitialize(nullptr);
  if (FAILED(code)) {
    delete job;
    return leave(code);
  }
  const bool filter = AcquireThreadMessageFilter() == S_OK;
  IUnknown* explorer = nullptr;
  if (FAILED(SHGetInstanceExplorer(&explorer))) explorer = nullptr;
  IStream* stream = job->marshalled;
  job->marshalled = nullptr;
  code = CoGetInterfaceAndReleaseStream(stream, IID_IDataObject, reinterpret_cast<void**>(&job->data));
  if (FAILED(code)) {
    job->data = nullptr;
  } else {
    InspectDataObjectFormats(job->data, nullptr, &job->getFormats, &job->setFormats);
    if (!(job->getFormats & (kFormatHdrop | kFormatDirectoryData))) code = E_FAIL;
  }
  if (SUCCEEDED(code)) {
    const ClipboardFormatIds& formats = ClipboardFormats();
    if (job->requestedEffect)
      job->effect = job->requestedEffect;
    else if (job->getFormats & kFormatPreferredDropEffect)
      job->effect = ReadPreferredDropEffect(job->data);
    else
      job->effect = 0;
    const PasteWriteBack start = DecidePasteWriteBack(job->getFormats, job->effect, false);
    if (start.performedAtStart) WriteBack(job, formats.performedDropEffect, DROPEFFECT_MOVE);
    bool complete = false;
    if (SUCCEEDED(CreateModuleVolume(&job->volume))) {
      const bool hdrop = (job->getFormats & kFormatHdrop) != 0;
      STGMEDIUM medium = {};
      if (SUCCEEDED(GetDataObjectHGlobal(job->data, hdrop ? formats.hdrop : formats.directoryData, &medium))) {
        job->cancelled = job->skipped = job->yesToAllSystem = job->yesToAllReadOnly = job->severalItems = 0;
        const HRESULT hr =
            hdrop ? CopyFromPC(job, static_cast<HDROP>(medium.hGlobal)) : CopyWithinModule(job, medium.hGlobal);
        ReleaseStgMedium(&medium);
        complete = SUCCEEDED(hr) && !job->skipped;
      }
    } else {
      // Nothing is sent without a server: a move must not be taken as done.
      job->volume = nullptr;
    }
    const PasteWriteBack end = DecidePasteWriteBack(job->getFormats, job->effect, complete);
    if (end.pasteSucceededAtEnd) WriteBack(job, formats.pasteSucceeded, end.pasteSucceeded);
    if (complete && job->succeeded) *job->succeeded = 1;
  }
  delete job;
  if (explorer) explorer->Release();
  if (filter) ReleaseThreadMessageFilter();
  OleUninitialize();
  return leave(code);
}

bool WaitForPasteOperations(DWORD timeoutMs) { return Workers().WaitIdle(timeoutMs); }

HRESULT CopyFromPC(PasteJob* job, HDROP drop) {
  if (!IsWellFormedDrop(reinterpret_cast<HGLOBAL>(drop))) return E_UNEXPECTED;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  if (count < 1) return E_UNEXPECTED;
  std::vector<CBstr> paths(count);
  const HRESULT readResult = ReadDropPaths(job, drop, count, &paths) ? S_OK : E_UNEXPECTED;
  ULONGLONG total = 0;
  for (const CBstr& path : paths) {
    PumpWaitingMessages();
    if (path.GetLength() == 0) continue;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW(path.GetBstr(), &found);
    if (find == INVALID_HANDLE_VALUE) continue;
    FindClose(find);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      SumPCTreeSize(path.GetBstr(), &total, TRUE);
    else
      total += SizeOf(found);
  }
  CreateProgress(job, total);
  const HRESULT hr = CopyPCItems(job, paths.data(), count);
  if (FAILED(hr) || job->cancelled) return E_FAIL;
  return readResult;
}

HRESULT CopyPCItems(PasteJob* job, const CBstr* paths, UINT count) {
  job->severalItems = count > 1 ? 1 : 0;
  DWORD filesReplaceAll = 0, foldersReplaceAll = 0;
  HRESULT result = S_OK;
  for (UINT i = 0; i < count && !job->cancelled; ++i) {
    PumpJobMessages(job);
    HRESULT hr = E_FAIL;
    WIN32_FIND_DATAW found;
    const HANDLE find = paths[i].GetLength() ? FindFirstFileW(paths[i].GetBstr(), &found) : INVALID_HANDLE_VALUE;
    if (find == INVALID_HANDLE_VALUE) {
      // A path too long to read was reported already; one that vanished is
      // reported here, so that every failing item has its box.
      if (paths[i].GetLength())
        ShowCopyFailed(job, TextOrEmpty(GetNamePart(paths[i])), GetErrorText(HRESULT_FROM_WIN32(GetLastError())));
    } else {
      FindClose(find);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        hr = CopyPCFolder(job, paths[i].GetBstr(), TextOrEmpty(job->target), &filesReplaceAll, &foldersReplaceAll,
                          found.dwFileAttributes);
      } else {
        ShowCopyLine(job, paths[i].GetBstr(), TextOrEmpty(job->target));
        hr = CopyPCFile(job, paths[i].GetBstr(), TextOrEmpty(job->target), found, &filesReplaceAll);
      }
    }
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT CopyPCFolder(PasteJob* job, const wchar_t* source, const wchar_t* target, DWORD* filesReplaceAll,
                     DWORD* foldersReplaceAll, DWORD attributes) {
  job->severalItems = 1;
  const CBstr destination = JoinPath(target, GetNamePart(CBstr(source)).GetBstr());
  DWORD files = 0, folders = 0;
  HRESULT hr = EnterTargetFolder(job, destination, filesReplaceAll, foldersReplaceAll, attributes, &files, &folders);
  if (hr != S_OK) return hr;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(TextOrEmpty(JoinPath(source, L"*")), &found);
  if (find == INVALID_HANDLE_VALUE) return E_FAIL;
  HRESULT result = S_OK;
  bool more = true;
  do {
    PumpJobMessages(job);
    const CBstr path = JoinPath(source, found.cFileName);
    hr = S_OK;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!IsDots(found.cFileName))
        hr = CopyPCFolder(job, path.GetBstr(), TextOrEmpty(destination), &files, &folders, found.dwFileAttributes);
    } else {
      ShowCopyLine(job, path.GetBstr(), TextOrEmpty(destination));
      hr = CopyPCFile(job, path.GetBstr(), TextOrEmpty(destination), found, &files);
    }
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    if (job->cancelled) break;
    more = FindNextFileW(find, &found) != FALSE;
  } while (more);
  const DWORD ended = more ? ERROR_SUCCESS : GetLastError();
  FindClose(find);
  if (ended != ERROR_NO_MORE_FILES) return E_FAIL;
  return result;
}

HRESULT CopyPCFile(PasteJob* job, const wchar_t* source, const wchar_t* target, const WIN32_FIND_DATAW& found,
                   DWORD* filesReplaceAll) {
  const ULONGLONG size = SizeOf(found);
  if (size >= 0x80000000ull) {
    AskErrorBox(job, IDS_ERROR_COPYING_FILE, g_resourceModule.FormatResMessage(IDS_FILE_TOO_LARGE, found.cFileName));
    return E_FAIL;
  }
  const CBstr destination = JoinPath(target, found.cFileName);
  bool reported = false;
  CBstr error;
  RPLFileStream* file = nullptr;
  HRESULT hr = RPLFileStream::Create(&file);
  if (SUCCEEDED(hr)) {
    ClearErrorInfo();
    hr = file->Open(source);
  }
  if (SUCCEEDED(hr)) {
    RPLProgressStream* progress = nullptr;
    hr = RPLProgressStream::Create(&progress);
    if (SUCCEEDED(hr)) hr = progress->Init(file, job->progress, size, &job->cancelled, TRUE);
    if (SUCCEEDED(hr)) {
      DATE lastWrite = 0;
      FileTimeToDate(found.ftLastWriteTime, &lastWrite);
      hr = ClearTargetFile(job, TextOrEmpty(destination), found.nFileSizeLow, lastWrite, filesReplaceAll,
                           found.dwFileAttributes);
      if (hr != S_OK) {
        job->skipped = 1;
        // Its own box told of a failed delete; only a missing prompt is silent.
        reported = hr != E_OUTOFMEMORY;
      } else {
        ClearErrorInfo();
        hr = job->volume->PutFile(destination.GetBstr(), static_cast<IStream*>(progress),
                                  static_cast<LONG>(found.dwFileAttributes));
        if (IsCancelled(hr)) job->cancelled = 1;
        if (FAILED(hr)) {
          if (!job->cancelled) error = GetErrorText(hr);
          RemoveIncompleteTarget(job, destination, hr);
        }
      }
    }
    if (progress) progress->Release();
    if (job->progress) job->progress->AddDone(size);
  } else if (!job->cancelled) {
    error = GetErrorText(hr);
  }
  if (file) file->Release();
  if (FAILED(hr) && !job->cancelled && !reported) ShowCopyFailed(job, found.cFileName, error);
  return hr;
}

HRESULT CopyWithinModule(PasteJob* job, HGLOBAL block) {
  const BYTE* bytes = block ? static_cast<const BYTE*>(GlobalLock(block)) : nullptr;
  if (!bytes) return E_UNEXPECTED;
  DirectoryData parsed;
  if (!ParseDirectoryData(bytes, GlobalSize(block), &parsed)) {
    GlobalUnlock(block);
    return E_UNEXPECTED;
  }
  ULONGLONG total = 0;
  for (LPCITEMIDLIST item : parsed.items) {
    PumpWaitingMessages();
    if (IsFolderItem(item) || IsDriveRootItem(item))
      SumModuleTreeSize(TextOrEmpty(JoinPath(TextOrEmpty(parsed.folderPath), GetItemNameString(item).GetBstr())),
                        &total, TRUE, job->volume);
    else
      total += GetItemSize(item);
  }
  CreateProgress(job, total);
  const HRESULT hr = CopyModuleItems(job, parsed.items.data(), static_cast<UINT>(parsed.items.size()));
  GlobalUnlock(block);
  return FAILED(hr) || job->cancelled ? E_FAIL : S_OK;
}

HRESULT CopyModuleItems(PasteJob* job, const LPCITEMIDLIST* items, UINT count) {
  job->severalItems = count > 1 ? 1 : 0;
  DWORD filesReplaceAll = 0, foldersReplaceAll = 0;
  HRESULT result = S_OK;
  const wchar_t* target = TextOrEmpty(job->target);
  const size_t targetLength = wcslen(target);
  for (UINT i = 0; i < count && !job->cancelled; ++i) {
    PumpJobMessages(job);
    LPCITEMIDLIST item = items[i];
    const CBstr name(GetItemName(item));
    HRESULT hr = S_OK;
    if (IsFolderItem(item)) {
      const size_t nameLength = name.GetLength();
      if (SamePath(target, TextOrEmpty(name))) {
        ShowTransferErrorBox(job, IDS_SAME_SOURCE_FOLDER, TextOrEmpty(GetNamePart(name)));
        hr = E_FAIL;
      } else if (targetLength > nameLength && target[nameLength] == L'\\' &&
                 SamePath(TextOrEmpty(CBstr(target, static_cast<UINT>(nameLength))), TextOrEmpty(name))) {
        ShowTransferErrorBox(job, IDS_TARGET_IS_SUBFOLDER, TextOrEmpty(GetNamePart(name)));
        hr = E_FAIL;
      } else {
        hr = CopyModuleFolder(job, TextOrEmpty(name), target, &filesReplaceAll, &foldersReplaceAll,
                              GetItemAttributes(item));
      }
    } else {
      ShowCopyLine(job, TextOrEmpty(name), target);
      hr = CopyModuleFile(job, target, item, &filesReplaceAll);
    }
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT CopyModuleFolder(PasteJob* job, const wchar_t* source, const wchar_t* target, DWORD* filesReplaceAll,
                         DWORD* foldersReplaceAll, DWORD attributes) {
  job->severalItems = 1;
  const CBstr sourcePath(source);
  CBstr destination = JoinPath(target, GetNamePart(sourcePath).GetBstr());
  if (SamePath(TextOrEmpty(destination), source)) {
    if (IsMove(job)) {
      AskErrorBox(job, IDS_ERROR_MOVING_FILE,
                  g_resourceModule.FormatResMessage(IDS_MOVE_SAME_FOLDER, GetNamePart(sourcePath)));
      return E_FAIL;
    }
    destination = MakeCopyName(source, job->volume);
  }
  DWORD files = 0, folders = 0;
  HRESULT hr = EnterTargetFolder(job, destination, filesReplaceAll, foldersReplaceAll, attributes, &files, &folders);
  if (hr != S_OK) return hr;
  const DWORD skippedBefore = job->skipped;
  job->skipped = 0;
  CItemIDList* entries = nullptr;
  int count = 0;
  HRESULT result = ListFolderEntries(source, &entries, &count, job->volume, false);
  if (SUCCEEDED(result)) {
    result = S_OK;
    for (int i = 0; i < count && !job->cancelled; ++i) {
      PumpJobMessages(job);
      LPCITEMIDLIST entry = entries[i].GetLastItem();
      if (!entry) continue;
      if (IsFolderItem(entry)) {
        hr = CopyModuleFolder(job, GetItemName(entry), TextOrEmpty(destination), &files, &folders,
                              GetItemAttributes(entry));
      } else {
        ShowCopyLine(job, GetItemName(entry), TextOrEmpty(destination));
        hr = CopyModuleFile(job, TextOrEmpty(destination), entry, &files);
      }
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  delete[] entries;
  // Only a folder whose every entry arrived may go: removing it after a skip
  // or a cancel could take files that were never copied.
  const bool whole = result == S_OK && !job->skipped && !job->cancelled;
  job->skipped |= skippedBefore;
  if (IsMove(job) && whole) {
    if (attributes & FILE_ATTRIBUTE_READONLY) job->volume->SetAttributes(sourcePath.GetBstr(), FILE_ATTRIBUTE_NORMAL);
    job->volume->RemoveDir(sourcePath.GetBstr());
  }
  return result;
}

HRESULT CopyModuleFile(PasteJob* job, const wchar_t* target, LPCITEMIDLIST item, DWORD* filesReplaceAll) {
  const CBstr source(GetItemName(item));
  const CBstr fileName = GetItemNameString(item);
  CBstr destination = JoinPath(target, fileName.GetBstr());
  if (SamePath(TextOrEmpty(destination), TextOrEmpty(source))) {
    if (IsMove(job)) {
      AskErrorBox(job, IDS_ERROR_MOVING_FILE, g_resourceModule.FormatResMessage(IDS_MOVE_SAME_FILE, fileName));
      return E_FAIL;
    }
    destination = MakeCopyName(TextOrEmpty(source), job->volume);
  }
  HRESULT hr = ClearTargetFile(job, TextOrEmpty(destination), GetItemSize(item), GetItemLastWriteTime(item),
                               filesReplaceAll, GetItemAttributes(item));
  if (hr != S_OK) {
    job->skipped = 1;
    return hr;
  }
  ClearErrorInfo();
  hr = job->volume->Copy(source.GetBstr(), destination.GetBstr());
  if (IsCancelled(hr)) {
    job->cancelled = 1;
  } else if (FAILED(hr)) {
    const CBstr error = GetErrorText(hr);
    ShowCopyFailed(job, TextOrEmpty(fileName), error);
  }
  if (FAILED(hr)) RemoveIncompleteTarget(job, destination, hr);
  if (job->progress) job->progress->AddDone(GetItemSize(item));
  return hr;
}

CBstr MakeCopyName(const wchar_t* source, IVKSVolume* volume) {
  const CBstr path(source);
  const CBstr folder = GetParentPath(path);
  const CBstr name = GetNamePart(path);
  CBstr candidate =
      JoinPath(TextOrEmpty(folder), TextOrEmpty(ConcatStrings(g_resourceModule.LoadResString(IDS_COPY_OF), name)));
  for (int number = 2;; ++number) {
    CItemIDList* existing = nullptr;
    FindEntryByName(TextOrEmpty(candidate), volume, &existing);
    if (!existing) return candidate;
    delete existing;
    candidate =
        JoinPath(TextOrEmpty(folder),
                 TextOrEmpty(ConcatStrings(g_resourceModule.FormatResMessage(IDS_COPY_NUMBERED_OF, number), name)));
  }
}

void ShowTransferErrorBox(PasteJob* job, UINT stringId, const wchar_t* text) {
  ShellUi().ShowMessageBox(job->owner, TextOrEmpty(g_resourceModule.FormatResMessage(stringId, text)),
                           TextOrEmpty(g_resourceModule.LoadResString(IDS_ERROR_COPYING_FILE)), MB_OK | MB_ICONHAND);
}
