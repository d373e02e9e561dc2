// transfers/RPLDataObject.cpp - the data object, its format enumerator and
// the clipboard's owner thread.
#include "RPLDataObject.h"
#include <mmsystem.h>
#include <stdio.h>
#include <memory>
#include <vector>
#include "ClipboardFormats.h"
#include "ComBase.h"
#include "ComCore.h"
#include "DataObjectFormats.h"
#include "ResourceIds.h"
#include "DeleteOperation.h"
#include "ItemIDList.h"
#include "MessageFilter.h"
#include "ModuleCommands.h"
#include "ModuleItemID.h"
#include "ProgressDialog.h"
#include "RPLProgressStream.h"
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "Seams.h"
#include "SuiteString.h"

namespace {

// {645FF040-5081-101B-9F08-00AA002F954E}
const CLSID kRecycleBinClsid = {0x645FF040, 0x5081, 0x101B, {0x9F, 0x08, 0x00, 0xAA, 0x00, 0x2F, 0x95, 0x4E}};

// Posted by the creator to the owner thread once it has its proxy: wParam 0
// lets the thread drop its own reference, 2 also disconnects the object.
const UINT kCreatorDone = WM_APP + 0x21;

void DebugOut(const wchar_t* format, DWORD value) {
  wchar_t line[64];
  _snwprintf(line, ARRAYSIZE(line), format, value);
  line[ARRAYSIZE(line) - 1] = 0;
  OutputDebugStringW(line);
}

const wchar_t* Str(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

struct TransferEntry {
  CItemIDList record;
  ComPtr<IStream> stream;
  CBstr name;
  ULONGLONG size = 0;
  bool delivered = false;
  bool folder = true;
};

// Rounds of "FileContents" that began and have not yet delivered every file,
// counted across an object and the fresh copies that share its entries.
struct SharedRounds {
  volatile LONG open = 0;
};

// What must end on the owner thread of a clipboard object (the server's
// streams are proxies of its apartment, the progress window is its window)
// and the owner count. Wine's clipboard can drop the last reference from
// another thread; the leftovers are then posted to the owner.
const UINT kOwnerLeftovers = WM_APP + 0x22;

struct Leftovers {
  std::vector<TransferEntry> entries;
  std::unique_ptr<ProgressDialog> progress;
  ComPtr<IUnknown> viewUnknown;
  ComPtr<IVKSNotifySink> sink;
  IStream* viewStream = nullptr;
  IStream* sinkStream = nullptr;
  ITransferViewSite* cutView = nullptr;   // the view of a cut, for its marks
  volatile LONG* ownerCount = nullptr;
  DWORD ownerThreadId = 0;

  void Finish() {
    if (progress) progress->Destroy();
    progress.reset();
    if (viewStream) CoGetInterfaceAndReleaseStream(viewStream, IID_IUnknown, reinterpret_cast<void**>(&viewUnknown));
    if (sinkStream) CoGetInterfaceAndReleaseStream(sinkStream, IID_IVKSNotifySink, reinterpret_cast<void**>(&sink));
    viewStream = sinkStream = nullptr;
    if (cutView && viewUnknown) cutView->ResetCutMarks();
    entries.clear();
    sink.Reset();
    viewUnknown.Reset();
    if (ownerCount && InterlockedDecrement(ownerCount) == 0) PostThreadMessageW(ownerThreadId, WM_QUIT, 1, 0);
  }
};

class RPLDataObject;

class CFormatEnumerator final : public IEnumFORMATETC, public CComObjectBase {
  COM_QI_TABLE(CFormatEnumerator, IEnumFORMATETC)
public:
  CFormatEnumerator() = default;
  void Init(std::vector<FORMATETC> table, size_t position) {
    m_table = std::move(table);
    m_position = position;
  }
  STDMETHODIMP Next(ULONG count, FORMATETC* out, ULONG* fetched) override {
    if (!out || (count != 1 && !fetched)) return E_INVALIDARG;
    ULONG given = 0;
    while (given < count && m_position < m_table.size()) out[given++] = m_table[m_position++];
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const size_t left = m_table.size() - m_position;
    m_position += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    m_position = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumFORMATETC** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    COM_TRY
    auto* copy = new (std::nothrow) CFormatEnumerator();
    if (!copy) return E_OUTOFMEMORY;
    copy->Init(m_table, m_position);
    *out = copy;
    return S_OK;
    COM_CATCH
  }

private:
  ~CFormatEnumerator() override = default;
  std::vector<FORMATETC> m_table;
  size_t m_position = 0;
};

class RPLDataObject final : public IDataObject, public IVKSNotifySink, public CComObjectBase {
  COM_QI_TABLE(RPLDataObject, IDataObject, IVKSNotifySink)
public:
  RPLDataObject() = default;

  HRESULT Init(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items, UINT count,
               DWORD preferredEffect, bool clipboard) {
    m_folder = CBstr(folderPath);
    m_view = view;
    m_preferred = preferredEffect;
    m_clipboard = clipboard;
    m_rounds = std::make_shared<SharedRounds>();
    m_selection.resize(count);
    for (UINT i = 0; i < count; ++i) {
      if (!items[i]) return E_INVALIDARG;
      RETURN_IF_FAILED(m_selection[i].Assign(items[i]));
    }
    return S_OK;
  }
  HRESULT InitPlain(IVKSNotifySink* sink) {
    if (SUCCEEDED(AcquireThreadMessageFilter())) m_filterAcquired = true;
    if (m_view) m_viewUnknown = m_view->ViewUnknown();
    m_sink = sink;
    return BuildTransferList();
  }
  HRESULT MarshalForOwner(IVKSNotifySink* sink) {
    if (m_view && m_view->ViewUnknown())
      RETURN_IF_FAILED(CoMarshalInterThreadInterfaceInStream(IID_IUnknown, m_view->ViewUnknown(), &m_viewStream));
    if (sink) RETURN_IF_FAILED(CoMarshalInterThreadInterfaceInStream(IID_IVKSNotifySink, sink, &m_sinkStream));
    return S_OK;
  }

  // The owner thread's side of creation.
  static DWORD WINAPI OwnerThread(void* parameter);

  // IDataObject
  STDMETHODIMP GetData(FORMATETC* etc, STGMEDIUM* medium) override;
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* etc) override;
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  STDMETHODIMP SetData(FORMATETC* etc, STGMEDIUM* medium, BOOL release) override;
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
  // IVKSNotifySink
  STDMETHODIMP OnChange(BSTR) override { return S_OK; }

  // Creation hand-shake with the creator (clipboard mode).
  HANDLE m_createEvent = nullptr;
  HRESULT* m_createResult = nullptr;
  IStream* m_dataStream = nullptr;

private:
  ~RPLDataObject() override;
  HRESULT BuildTransferList();
  HRESULT AddSelectedItem(const CItemIDList& item, IVKSVolume* volume);
  HRESULT AddFolderContents(const wchar_t* folder, IVKSVolume* volume);
  void UnmarshalPending();
  bool IsOnClipboard() { return OleIsCurrentClipboard(static_cast<IDataObject*>(this)) == S_OK; }
  void ResetTransferState();
  void PutFreshCopyOnClipboard();
  void ApplyMoveRule();
  HRESULT GetDescriptor(STGMEDIUM* medium);
  HRESULT GetFileContents(const FORMATETC& etc, STGMEDIUM* medium);
  HRESULT ReadEntry(TransferEntry& entry, IStream* clone, HGLOBAL block, ULONG size);
  bool IsGetFormat(UINT format) const;

  CBstr m_folder;
  ITransferViewSite* m_view = nullptr;
  ComPtr<IUnknown> m_viewUnknown;
  std::vector<CItemIDList> m_selection;
  std::vector<TransferEntry> m_entries;
  DWORD m_preferred = DROPEFFECT_COPY;
  DWORD m_performed = 0, m_logicalPerformed = 0, m_pasteSucceeded = 0;
  std::unique_ptr<ProgressDialog> m_progress;
  DWORD m_cancel = 0;
  bool m_roundOpen = false;
  std::shared_ptr<SharedRounds> m_rounds;
  bool m_recycleBin = false;
  ComPtr<IVKSNotifySink> m_sink;
  bool m_clipboard = false;
  IStream* m_viewStream = nullptr;
  IStream* m_sinkStream = nullptr;
  volatile LONG* m_ownerCount = nullptr;
  DWORD m_ownerThreadId = 0;
  bool m_filterAcquired = false;
};

RPLDataObject::~RPLDataObject() {
  Leftovers rest;
  rest.entries = std::move(m_entries);
  rest.progress = std::move(m_progress);
  rest.viewUnknown = std::move(m_viewUnknown);
  rest.sink = std::move(m_sink);
  rest.viewStream = m_viewStream;
  rest.sinkStream = m_sinkStream;
  rest.cutView = m_preferred == DROPEFFECT_MOVE ? m_view : nullptr;
  rest.ownerCount = m_ownerCount;
  rest.ownerThreadId = m_ownerThreadId;
  m_selection.clear();
  if (m_filterAcquired) ReleaseThreadMessageFilter();
  OutputDebugStringW(L"Dataobject deleted\n");
  if (rest.ownerThreadId && rest.ownerThreadId != GetCurrentThreadId()) {
    auto* posted = new (std::nothrow) Leftovers(std::move(rest));
    if (posted && PostThreadMessageW(posted->ownerThreadId, kOwnerLeftovers, 0, reinterpret_cast<LPARAM>(posted)))
      return;
    if (posted) {
      posted->Finish();
      delete posted;
      return;
    }
  }
  rest.Finish();
}

void RPLDataObject::UnmarshalPending() {
  if (m_viewStream) {
    IStream* stream = m_viewStream;
    m_viewStream = nullptr;
    CoGetInterfaceAndReleaseStream(stream, IID_IUnknown, reinterpret_cast<void**>(&m_viewUnknown));
  }
  if (m_sinkStream) {
    IStream* stream = m_sinkStream;
    m_sinkStream = nullptr;
    CoGetInterfaceAndReleaseStream(stream, IID_IVKSNotifySink, reinterpret_cast<void**>(&m_sink));
  }
}

HRESULT RPLDataObject::BuildTransferList() {
  m_performed = m_logicalPerformed = m_pasteSucceeded = 0;
  ComPtr<IVKSVolume> volume;
  HRESULT hr = CreateModuleVolume(&volume);
  if (SUCCEEDED(hr) && !volume) hr = E_FAIL;
  for (size_t i = 0; SUCCEEDED(hr) && i < m_selection.size(); ++i) hr = AddSelectedItem(m_selection[i], volume.Get());
  for (size_t i = 0; SUCCEEDED(hr) && i < m_entries.size(); ++i) {
    TransferEntry& entry = m_entries[i];
    if (entry.folder) continue;
    CBstr path(GetItemName(entry.record.Get()));
    ComPtr<IUnknown> content;
    hr = volume->GetFile(path.GetBstr(), &content);
    if (SUCCEEDED(hr)) hr = content ? content.As(&entry.stream) : E_NOINTERFACE;
  }
  if (FAILED(hr)) {
    m_selection.clear();
    m_entries.clear();
  }
  return hr;
}

HRESULT RPLDataObject::AddSelectedItem(const CItemIDList& item, IVKSVolume* volume) {
  if (!IsValidModuleItem(item.Get())) return E_INVALIDARG;
  TransferEntry entry;
  RETURN_IF_FAILED(entry.record.Assign(item));
  entry.name = GetItemNameString(item.Get());
  const bool drive = IsDriveRootItem(item.Get());
  const bool folder = drive || IsFolderItem(item.Get());
  entry.folder = folder;
  entry.size = folder ? 0 : GetItemSize(item.Get());
  m_entries.push_back(std::move(entry));
  if (folder && !drive) return AddFolderContents(GetItemName(item.Get()), volume);
  return S_OK;
}

HRESULT RPLDataObject::AddFolderContents(const wchar_t* folder, IVKSVolume* volume) {
  CItemIDList* found = nullptr;
  int count = 0;
  HRESULT hr = ListFolderEntries(folder, &found, &count, volume, false);
  std::unique_ptr<CItemIDList[]> owned(found);
  if (FAILED(hr)) return hr;
  const UINT prefix = m_folder.GetLength() + 1;
  for (int i = 0; i < count && SUCCEEDED(hr); ++i) {
    LPCITEMIDLIST record = found[i].Get();
    if (!IsValidModuleItem(record) || IsDriveRootItem(record)) continue;
    const wchar_t* full = GetItemName(record);
    TransferEntry entry;
    RETURN_IF_FAILED(entry.record.Assign(found[i]));
    entry.name = wcslen(full) > prefix ? CBstr(full + prefix) : GetItemNameString(record);
    entry.folder = IsFolderItem(record);
    entry.size = entry.folder ? 0 : GetItemSize(record);
    m_entries.push_back(std::move(entry));
    if (IsFolderItem(record)) hr = AddFolderContents(full, volume);
  }
  return hr;
}

bool RPLDataObject::IsGetFormat(UINT format) const {
  const ClipboardFormatIds& ids = ClipboardFormats();
  return format == ids.fileGroupDescriptorW || format == ids.fileContents || format == ids.preferredDropEffect ||
         format == ids.directoryData || format == ids.viewAddress;
}

STDMETHODIMP RPLDataObject::QueryGetData(FORMATETC* etc) {
  if (!etc) return E_INVALIDARG;
  if (etc->ptd) return DV_E_FORMATETC;
  if (etc->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  const ClipboardFormatIds& ids = ClipboardFormats();
  if (etc->cfFormat == ids.fileContents) {
    if (etc->lindex < 0 || static_cast<size_t>(etc->lindex) >= m_entries.size()) return DV_E_LINDEX;
  } else if (IsGetFormat(etc->cfFormat)) {
    if (etc->lindex != -1) return DV_E_LINDEX;
  } else {
    return DV_E_FORMATETC;
  }
  if (!(etc->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
  return S_OK;
}

STDMETHODIMP RPLDataObject::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
  if (!in || !out) return E_INVALIDARG;
  if (!IsGetFormat(in->cfFormat)) return DV_E_FORMATETC;
  LONG lindex = -1;
  if (in->cfFormat == ClipboardFormats().fileContents) {
    const bool inRange = in->lindex >= 0 && static_cast<size_t>(in->lindex) < m_entries.size();
    lindex = !in->ptd && in->dwAspect == DVASPECT_CONTENT && inRange ? in->lindex : 0;
  }
  const bool same = !in->ptd && in->dwAspect == DVASPECT_CONTENT && in->lindex == lindex;
  const CLIPFORMAT format = in->cfFormat;
  *out = FORMATETC{format, nullptr, DVASPECT_CONTENT, lindex, TYMED_HGLOBAL};
  return same ? DATA_S_SAMEFORMATETC : S_OK;
}

STDMETHODIMP RPLDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  COM_TRY
  const ClipboardFormatIds& ids = ClipboardFormats();
  std::vector<UINT> formats;
  if (direction == DATADIR_SET) {
    formats = {ids.performedDropEffect, ids.pasteSucceeded, ids.logicalPerformedDropEffect, ids.converted,
               ids.preferredDropEffect};
    if (ids.targetClsid) formats.push_back(ids.targetClsid);
  } else {
    formats = {ids.fileGroupDescriptorW, ids.fileContents, ids.preferredDropEffect, ids.directoryData,
               ids.viewAddress};
  }
  std::vector<FORMATETC> table;
  for (UINT format : formats) table.push_back(HGlobalFormat(format));
  auto* enumerator = new (std::nothrow) CFormatEnumerator();
  if (!enumerator) return E_OUTOFMEMORY;
  enumerator->Init(std::move(table), 0);
  *out = enumerator;
  return S_OK;
  COM_CATCH
}

STDMETHODIMP RPLDataObject::GetData(FORMATETC* etc, STGMEDIUM* medium) {
  if (!etc || !medium) return E_INVALIDARG;
  RETURN_IF_FAILED(QueryGetData(etc));
  COM_TRY
  ZeroMemory(medium, sizeof(*medium));
  const ClipboardFormatIds& ids = ClipboardFormats();
  std::vector<BYTE> bytes;
  if (etc->cfFormat == ids.fileContents) return GetFileContents(*etc, medium);
  if (etc->cfFormat == ids.fileGroupDescriptorW) return GetDescriptor(medium);
  if (etc->cfFormat == ids.preferredDropEffect) {
    bytes.assign(reinterpret_cast<const BYTE*>(&m_preferred), reinterpret_cast<const BYTE*>(&m_preferred) + 4);
  } else if (etc->cfFormat == ids.viewAddress) {
    bytes.resize(kViewAddressSize);
    BuildViewAddress(ViewSiteAddress(m_view), GetCurrentProcessId(), bytes.data());
  } else {
    std::vector<LPCITEMIDLIST> lists;
    for (const CItemIDList& item : m_selection) lists.push_back(item.Get());
    bytes = BuildDirectoryData(Str(m_folder), lists.data(), static_cast<UINT>(lists.size()));
    if (bytes.empty()) return E_OUTOFMEMORY;
  }
  medium->hGlobal = NewHGlobalFrom(bytes.data(), bytes.size());
  if (!medium->hGlobal) return E_OUTOFMEMORY;
  medium->tymed = TYMED_HGLOBAL;
  return S_OK;
  COM_CATCH
}

HRESULT RPLDataObject::GetDescriptor(STGMEDIUM* medium) {
  const SIZE_T size = sizeof(UINT) + sizeof(FILEDESCRIPTORW) * m_entries.size();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!block) return E_OUTOFMEMORY;
  auto* group = static_cast<FILEGROUPDESCRIPTORW*>(GlobalLock(block));
  if (!group) {
    GlobalFree(block);
    return E_OUTOFMEMORY;
  }
  group->cItems = static_cast<UINT>(m_entries.size());
  OutputDebugStringW(L"Start Desc");
  HRESULT hr = S_OK;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_cancel) {
      hr = E_FAIL;
      ResetTransferState();
      break;
    }
    const TransferEntry& entry = m_entries[i];
    OutputDebugStringW(Str(entry.name));
    if (!entry.folder && !entry.stream) {
      hr = E_UNEXPECTED;
      break;
    }
    hr = FillFileDescriptor(&group->fgd[i], Str(entry.name), entry.record.Get(), entry.folder);
    if (FAILED(hr)) {
      // Never a cut name: a shortened path can name another file.
      ShowCopyError(hr, GetItemName(entry.record.Get()));
      break;
    }
  }
  GlobalUnlock(block);
  if (FAILED(hr)) {
    GlobalFree(block);
    return hr;
  }
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  return S_OK;
}

void RPLDataObject::ResetTransferState() {
  m_cancel = 0;
  for (TransferEntry& entry : m_entries) entry.delivered = false;
  if (m_progress) m_progress->Destroy();
  m_progress.reset();
  m_roundOpen = false;   // an unfinished round stays counted in m_rounds
}

HRESULT RPLDataObject::ReadEntry(TransferEntry& entry, IStream* clone, HGLOBAL block, ULONG size) {
  ComPtr<IStream> reader(clone);
  if (!entry.delivered) {
    const CBstr parent = GetNamePart(GetParentPath(CBstr(GetItemName(entry.record.Get()))));
    const CBstr from = g_resourceModule.FormatResMessage(
        IDS_FROM_FOLDER, parent.GetLength() ? parent : g_resourceModule.LoadResString(IDS_MODULE));
    m_progress->SetLines(Str(GetItemNameString(entry.record.Get())), Str(from));
    ComPtr<RPLProgressStream> progress;
    RETURN_IF_FAILED(RPLProgressStream::Create(&progress));
    RETURN_IF_FAILED(progress->Init(clone, m_progress.get(), entry.size, &m_cancel, TRUE));
    reader.Reset();
    RETURN_IF_FAILED(progress.As(&reader));
  }
  BYTE* at = size ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
  if (size && !at) return E_OUTOFMEMORY;
  ULONG total = 0;
  HRESULT hr = S_OK;
  while (total < size) {
    ULONG read = 0;
    hr = reader->Read(at + total, size - total, &read);
    total += read;
    if (FAILED(hr) || read == 0) break;
  }
  if (at) GlobalUnlock(block);
  if (total < size) return IsCancelled(hr) ? E_TRANSFER_CANCELLED : E_UNEXPECTED;
  if (!entry.delivered) m_progress->AddDone(size);
  return S_OK;
}

HRESULT RPLDataObject::GetFileContents(const FORMATETC& etc, STGMEDIUM* medium) {
  TransferEntry& entry = m_entries[static_cast<size_t>(etc.lindex)];
  HRESULT hr = S_OK;
  HGLOBAL block = nullptr;
  ComPtr<IStream> clone, answer;
  ULONGLONG size = 0;
  if (entry.folder || !entry.stream) hr = E_INVALIDARG;
  if (SUCCEEDED(hr)) {
    STATSTG stat = {};
    hr = entry.stream->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr)) {
      size = stat.cbSize.QuadPart;
    } else if (!IsCancelled(hr)) {
      ULARGE_INTEGER end = {};
      LARGE_INTEGER zero = {};
      hr = entry.stream->Seek(zero, STREAM_SEEK_END, &end);
      if (SUCCEEDED(hr)) hr = entry.stream->Seek(zero, STREAM_SEEK_SET, nullptr);
      size = end.QuadPart;
    }
    if (SUCCEEDED(hr) && (size != entry.size || size > 0xFFFFFFFF)) hr = E_UNEXPECTED;
  }
  if (SUCCEEDED(hr)) {
    block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (!block) hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr) && FAILED(entry.stream->Clone(&clone))) hr = E_UNEXPECTED;
  if (SUCCEEDED(hr)) {
    LARGE_INTEGER zero = {};
    clone->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (!m_progress) {
      const bool move = (m_preferred & DROPEFFECT_MOVE) || (m_performed & DROPEFFECT_MOVE);
      ULONGLONG total = 0;
      for (const TransferEntry& each : m_entries) total += each.size;
      m_progress.reset(new ProgressDialog());
      m_progress->Create(move ? ProgressMode::Move : ProgressMode::Copy, total, &m_cancel, nullptr);
      m_roundOpen = true;
      InterlockedIncrement(&m_rounds->open);
      if (IsOnClipboard()) PutFreshCopyOnClipboard();
    }
    if (m_cancel) {
      ResetTransferState();
      GlobalFree(block);
      return E_FAIL;
    }
    if (size == 0 && (etc.tymed & TYMED_ISTREAM) && FAILED(entry.stream->Clone(&answer))) hr = E_UNEXPECTED;
  }
  if (SUCCEEDED(hr)) hr = ReadEntry(entry, clone.Get(), block, static_cast<ULONG>(size));
  if (SUCCEEDED(hr)) {
    if (answer) {
      GlobalFree(block);
      medium->tymed = TYMED_ISTREAM;
      medium->pstm = answer.Detach();
    } else {
      medium->tymed = TYMED_HGLOBAL;
      medium->hGlobal = block;
    }
    block = nullptr;
    entry.delivered = true;
    bool all = true;
    for (const TransferEntry& each : m_entries) all = all && (each.folder || each.delivered);
    if (all) {
      if (m_roundOpen) InterlockedDecrement(&m_rounds->open);
      ResetTransferState();
    }
  }
  if (block) GlobalFree(block);
  if (IsCancelled(hr)) return E_TRANSFER_CANCELLED;
  if (FAILED(hr)) {
    ShowCopyError(hr, GetItemName(entry.record.Get()));
    return E_FAIL;
  }
  return hr;
}

void RPLDataObject::PutFreshCopyOnClipboard() {
  UnmarshalPending();
  auto* copy = new (std::nothrow) RPLDataObject();
  bool ok = copy != nullptr;
  if (ok) {
    copy->m_folder = m_folder;
    copy->m_view = m_view;
    copy->m_viewUnknown = m_viewUnknown;
    copy->m_sink = m_sink;
    copy->m_preferred = m_preferred;
    copy->m_clipboard = m_clipboard;
    copy->m_rounds = m_rounds;
    copy->m_ownerThreadId = m_ownerThreadId;
    if (m_ownerCount) {
      copy->m_ownerCount = m_ownerCount;
      InterlockedIncrement(m_ownerCount);
    }
    try {
      copy->m_selection = m_selection;
      copy->m_entries = m_entries;
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    for (const CItemIDList& item : copy->m_selection) ok = ok && !item.IsEmpty();
    for (TransferEntry& entry : copy->m_entries) {
      entry.delivered = false;
      ok = ok && !entry.record.IsEmpty();
    }
  }
  if (!ok || FAILED(OleSetClipboard(copy))) OleSetClipboard(nullptr);
  if (copy) copy->Release();
}

STDMETHODIMP RPLDataObject::SetData(FORMATETC* etc, STGMEDIUM* medium, BOOL release) {
  if (!etc || !medium) return E_INVALIDARG;
  const ClipboardFormatIds& ids = ClipboardFormats();
  const UINT format = etc->cfFormat;
  const bool accepted = format == ids.performedDropEffect || format == ids.pasteSucceeded ||
                        format == ids.preferredDropEffect || format == ids.logicalPerformedDropEffect ||
                        format == ids.converted || (ids.targetClsid && format == ids.targetClsid);
  if (!accepted || etc->ptd) return DV_E_FORMATETC;
  if (etc->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (etc->lindex != -1) return DV_E_LINDEX;
  if (medium->tymed != TYMED_HGLOBAL) return DV_E_TYMED;
  const BYTE* at = medium->hGlobal ? static_cast<const BYTE*>(GlobalLock(medium->hGlobal)) : nullptr;
  if (!at) return E_UNEXPECTED;
  const SIZE_T size = GlobalSize(medium->hGlobal);
  DWORD value = 0;
  if (format != ids.targetClsid) memcpy(&value, at, size < 4 ? size : 4);
  bool moveRule = false;
  if (format == ids.preferredDropEffect) {
    m_preferred = value;
    DebugOut(L"PreferredDropeffect: %X\n", value);
  } else if (format == ids.performedDropEffect) {
    m_performed = value;
    DebugOut(L"PerformedDropeffect: %X\n", value);
  } else if (format == ids.pasteSucceeded) {
    m_pasteSucceeded = value;
    DebugOut(L"PasteSucceeded: %X\n", value);
    moveRule = true;
  } else if (format == ids.logicalPerformedDropEffect) {
    m_logicalPerformed = value;
    DebugOut(L"LogicalPerformedDropeffect: %X\n", value);
    moveRule = true;
  } else if (format == ids.targetClsid) {
    m_recycleBin = size >= sizeof(CLSID) && memcmp(at, &kRecycleBinClsid, sizeof(CLSID)) == 0;
  }
  GlobalUnlock(medium->hGlobal);
  if (release) ReleaseStgMedium(medium);
  if (moveRule) ApplyMoveRule();
  return S_OK;
}

void RPLDataObject::ApplyMoveRule() {
  const bool move = ((m_preferred & DROPEFFECT_MOVE) && (m_pasteSucceeded & DROPEFFECT_MOVE)) ||
                    ((m_performed & DROPEFFECT_MOVE) &&
                     ((m_pasteSucceeded & DROPEFFECT_MOVE) || (m_logicalPerformed & DROPEFFECT_MOVE)));
  if (!move || m_selection.empty()) return;
  // A round of "FileContents" that did not deliver every file in full means
  // the target has not got everything: the sources stay.
  if (m_rounds->open != 0) return;
  UnmarshalPending();
  const int count = static_cast<int>(m_selection.size());
  auto* items = new (std::nothrow) CItemIDList[count];
  if (!items) return;
  for (int i = 0; i < count; ++i) items[i] = std::move(m_selection[i]);
  m_selection.clear();
  StartDeleteOperation(Str(m_folder), items, count, m_recycleBin ? 0 : 1, nullptr, m_sink.Get());
  if (IsOnClipboard()) OleSetClipboard(nullptr);
}

DWORD WINAPI RPLDataObject::OwnerThread(void* parameter) {
  auto* object = static_cast<RPLDataObject*>(parameter);
  HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) {
    *object->m_createResult = hr;
    SetEvent(object->m_createEvent);
    object->Release();
    return 0;
  }
  const bool filter = SUCCEEDED(AcquireThreadMessageFilter());
  ComPtr<IUnknown> explorer;
  SHGetInstanceExplorer(&explorer);
  volatile LONG objects = 0;
  object->m_ownerThreadId = GetCurrentThreadId();
  object->UnmarshalPending();
  hr = object->BuildTransferList();
  if (SUCCEEDED(hr) && object->m_clipboard) hr = OleSetClipboard(object);
  if (SUCCEEDED(hr))
    hr = CoMarshalInterThreadInterfaceInStream(IID_IDataObject, static_cast<IDataObject*>(object),
                                               &object->m_dataStream);
  if (FAILED(hr)) {
    if (object->IsOnClipboard()) OleSetClipboard(nullptr);
    *object->m_createResult = hr;
    SetEvent(object->m_createEvent);
    object->Release();
  } else {
    objects = 1;
    object->m_ownerCount = &objects;
    *object->m_createResult = S_OK;
    // The queue exists before the creator can post to it.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(object->m_createEvent);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (!message.hwnd && message.message == kOwnerLeftovers) {
        auto* rest = reinterpret_cast<Leftovers*>(message.lParam);
        rest->Finish();
        delete rest;
        continue;
      }
      if (!message.hwnd && message.message == kCreatorDone) {
        if (message.wParam == 2) {
          if (object->IsOnClipboard()) OleSetClipboard(nullptr);
          CoDisconnectObject(static_cast<IDataObject*>(object), 0);
        }
        object->Release();   // from now on only the clipboard and the proxies hold it
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  explorer.Reset();
  if (filter) ReleaseThreadMessageFilter();
  OleUninitialize();
  return 0;
}

}  // namespace

HRESULT CreateDataObject(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items,
                         UINT count, DWORD preferredEffect, IVKSNotifySink* sink, bool clipboard,
                         IDataObject** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!items || count == 0) return E_INVALIDARG;
  COM_TRY
  auto* object = new (std::nothrow) RPLDataObject();
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->Init(folderPath, view, items, count, preferredEffect, clipboard);
  if (SUCCEEDED(hr) && !clipboard) hr = object->InitPlain(sink);
  if (SUCCEEDED(hr) && !clipboard) {
    *out = object;
    return S_OK;
  }
  if (SUCCEEDED(hr)) hr = object->MarshalForOwner(sink);
  if (FAILED(hr)) {
    object->Release();
    return hr;
  }
  // The object's one reference goes to its owner thread.
  HRESULT threadResult = E_FAIL;
  HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!ready) {
    object->Release();
    return E_FAIL;
  }
  object->m_createEvent = ready;
  object->m_createResult = &threadResult;
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, RPLDataObject::OwnerThread, object, 0, &threadId);
  if (!thread) {
    CloseHandle(ready);
    object->Release();
    return E_FAIL;
  }
  // Dispatching while waiting: the owner thread's OleSetClipboard talks to
  // the window of the clipboard's former owner, which may be this thread's.
  DWORD index = 0;
  CoWaitForMultipleHandles(0, INFINITE, 1, &ready, &index);
  CloseHandle(ready);
  CloseHandle(thread);
  if (FAILED(threadResult)) return threadResult;   // the thread has released the object
  IStream* stream = object->m_dataStream;
  object->m_dataStream = nullptr;
  hr = CoGetInterfaceAndReleaseStream(stream, IID_IDataObject, reinterpret_cast<void**>(out));
  PostThreadMessageW(threadId, kCreatorDone, FAILED(hr) ? 2 : 0, 0);
  return hr;
  COM_CATCH
}

HRESULT PutItemsOnClipboard(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items,
                            UINT count, DWORD effect, IVKSNotifySink* sink) {
  if (items && count && IsValidModuleItem(items[0]) && IsDriveRootItem(items[0])) {
    ShellUi().PlaySystemSound(L".Default", SND_ASYNC);
    return S_OK;
  }
  ComPtr<IDataObject> proxy;
  const HRESULT hr = CreateDataObject(folderPath, view, items, count, effect, sink, true, &proxy);
  if (FAILED(hr)) ShowCopyError(hr, L"");
  return hr;
}

bool ClipboardHasPastableData() {
  ComPtr<IDataObject> data;
  if (FAILED(OleGetClipboard(&data)) || !data) return false;
  DWORD get = 0, set = 0;
  InspectDataObjectFormats(data.Get(), nullptr, &get, &set);
  return (get & (kFormatHdrop | kFormatDirectoryData)) != 0;
}
