// server/ShellNotify.cpp - item-ID lists of module paths and the poster thread.
#include "ShellNotify.h"

#include <process.h>
#include <shlobj.h>

#include <new>
#include <string>

#include "CriticalSection.h"
#include "FolderEntry.h"
#include "OBEXCom.h"
#include "Ring.h"
#include "SuiteUtil.h"

namespace {

constexpr LONG kEndItem = static_cast<LONG>(0x80000000);
constexpr WORD kItemSignature = 100;

struct QueueItem : Ring<QueueItem> {
  LONG event = 0;
  ITEMIDLIST* first = nullptr;
  ITEMIDLIST* second = nullptr;
  ~QueueItem() {
    CoTaskMemFree(first);
    CoTaskMemFree(second);
  }
};

void PostToShell(LONG event, UINT flags, const ITEMIDLIST* first, const ITEMIDLIST* second) {
  SHChangeNotify(event, flags, first, second);
}

ShellPoster g_poster = PostToShell;
ITEMIDLIST* g_rootOverride = nullptr;
ITEMIDLIST* g_root = nullptr;
CCriticalSection g_queueLock;
Ring<QueueItem> g_queue;
HANDLE g_semaphore = nullptr;
HANDLE g_gate = nullptr;
HANDLE g_thread = nullptr;

ITEMIDLIST* CopyList(const ITEMIDLIST* list) {
  const UINT size = GetIDListSize(list);
  if (!size) return nullptr;
  auto* copy = static_cast<ITEMIDLIST*>(CoTaskMemAlloc(size));
  if (copy) memcpy(copy, list, size);
  return copy;
}

// first without its terminator, then second (with its own).
ITEMIDLIST* JoinLists(const ITEMIDLIST* first, const ITEMIDLIST* second) {
  const UINT a = GetIDListSize(first) - sizeof(USHORT);
  const UINT b = GetIDListSize(second);
  auto* list = static_cast<BYTE*>(CoTaskMemAlloc(a + b));
  if (!list) return nullptr;
  memcpy(list, first, a);
  memcpy(list + a, second, b);
  return reinterpret_cast<ITEMIDLIST*>(list);
}

std::wstring StrRetText(STRRET& value, const ITEMIDLIST* item) {
  std::wstring text;
  switch (value.uType) {
    case STRRET_WSTR:
      if (value.pOleStr) text = value.pOleStr;
      CoTaskMemFree(value.pOleStr);
      break;
    case STRRET_CSTR: {
      wchar_t wide[MAX_PATH] = {};
      MultiByteToWideChar(CP_ACP, 0, value.cStr, -1, wide, MAX_PATH);
      text = wide;
      break;
    }
    case STRRET_OFFSET: {
      wchar_t wide[MAX_PATH] = {};
      MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(item) + value.uOffset, -1, wide, MAX_PATH);
      text = wide;
      break;
    }
    default:
      break;
  }
  return text;
}

ITEMIDLIST* FindModuleFolder() {
  ITEMIDLIST* root = nullptr;
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
  ITEMIDLIST* drives = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives))) {
    IShellFolder* computer = nullptr;
    if (SUCCEEDED(desktop->BindToObject(drives, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&computer)))) {
      IEnumIDList* children = nullptr;
      if (computer->EnumObjects(nullptr, SHCONTF_FOLDERS, &children) == S_OK && children) {
        ITEMIDLIST* child = nullptr;
        ULONG fetched = 0;
        while (!root && children->Next(1, &child, &fetched) == S_OK && child) {
          STRRET name{};
          if (SUCCEEDED(computer->GetDisplayNameOf(child, SHGDN_INFOLDER, &name)) &&
              CompareStringOrdinal(StrRetText(name, child).c_str(), -1, L"Module", -1, TRUE) == CSTR_EQUAL)
            root = JoinLists(drives, child);
          CoTaskMemFree(child);
          child = nullptr;
        }
        children->Release();
      }
      computer->Release();
    }
    CoTaskMemFree(drives);
  }
  desktop->Release();
  return root;
}

void Enqueue(QueueItem* item) {
  if (!g_semaphore) {
    delete item;
    return;
  }
  {
    CLockScope lock(g_queueLock);
    item->InsertBefore(&g_queue);
  }
  ReleaseSemaphore(g_semaphore, 1, nullptr);
}

unsigned __stdcall ShellNotifyThread(void*) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  for (;;) {
    WaitForSingleObject(g_semaphore, INFINITE);
    QueueItem* item;
    {
      CLockScope lock(g_queueLock);
      item = g_queue.First();
      if (item) item->Unlink();
    }
    if (!item) continue;
    WaitForSingleObject(g_gate, INFINITE);
    if (item->event == kEndItem) {
      delete item;
      break;
    }
    g_poster(item->event, SHCNF_IDLIST | SHCNF_FLUSH, item->first, item->second);
    delete item;
  }
  CoUninitialize();
  return 0;
}

void AppendItem(std::string& bytes, const std::wstring& pathSoFar, const std::wstring& component,
                const FolderEntry* entry) {
  auto put = [&](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); };
  const WORD cb = static_cast<WORD>(42 + 2 * pathSoFar.size() + 2 * component.size());
  const DWORD size = entry ? entry->size : 0;
  const DWORD attributes = entry ? entry->attributes : kFolderAttribute;
  const DATE times[3] = {entry ? entry->created : 0, entry ? entry->accessed : 0, entry ? entry->modified : 0};
  const WORD nameLength = static_cast<WORD>(pathSoFar.size() + 1);
  put(&cb, 2);
  put(&kItemSignature, 2);
  put(&size, 4);
  put(&attributes, 4);
  put(times, sizeof times);
  put(&nameLength, 2);
  put(pathSoFar.c_str(), 2 * (pathSoFar.size() + 1));
  put(component.c_str(), 2 * (component.size() + 1));
}

}  // namespace

void SetShellPoster(ShellPoster poster) { g_poster = poster ? poster : PostToShell; }

void SetShellNotifyRoot(const ITEMIDLIST* root) {
  CoTaskMemFree(g_rootOverride);
  g_rootOverride = root ? CopyList(root) : nullptr;
}

HANDLE GetShellNotifyGate() { return g_gate; }

bool StartShellNotify() {
  g_root = g_rootOverride ? CopyList(g_rootOverride) : FindModuleFolder();
  g_semaphore = CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr);
  g_gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_semaphore && g_gate) {
    g_thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ShellNotifyThread, nullptr, 0, nullptr));
    if (g_thread) return true;
  }
  if (g_semaphore) CloseHandle(g_semaphore);
  if (g_gate) CloseHandle(g_gate);
  g_semaphore = g_gate = nullptr;
  CoTaskMemFree(g_root);
  g_root = nullptr;
  return false;
}

void StopShellNotify() {
  if (!g_thread) return;
  SetEvent(g_gate);
  QueueItem* end = new QueueItem;
  end->event = kEndItem;
  Enqueue(end);
  WaitForSingleObject(g_thread, INFINITE);
  CloseHandle(g_thread);
  g_thread = nullptr;
  CloseHandle(g_gate);
  g_gate = nullptr;
  CloseHandle(g_semaphore);
  g_semaphore = nullptr;
  {
    CLockScope lock(g_queueLock);
    while (QueueItem* left = g_queue.First()) delete left;
  }
  CoTaskMemFree(g_root);
  g_root = nullptr;
}

ITEMIDLIST* BuildModuleIDList(int connectionId, const CBstr& path, short volumeCount, IObex2* obex) {
  if (!g_root) return nullptr;
  std::wstring text = path.GetLength() ? std::wstring(path.GetBstr(), path.GetLength()) : L"\\";
  if (text[0] != L'\\') text.insert(text.begin(), L'\\');
  // One-volume modules have no drive part; the items always have one.
  const bool single = volumeCount == 1;
  if (single) text.insert(0, L"\\A:");

  // Start of each component and the end of the text.
  std::string items;
  size_t start = 1;
  size_t lastStart = std::wstring::npos, lastEnd = 0;
  for (size_t i = 1; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != L'\\') continue;
    if (i > start) {
      lastStart = start;
      lastEnd = i;
    }
    start = i + 1;
  }
  FolderEntry* entry = nullptr;
  if (obex && lastStart != std::wstring::npos) {
    // The link's own form of the path: "X:\a" or, on one volume, "\a".
    std::wstring listed = single ? text.substr(3) : text.substr(1);
    if (listed.empty()) listed = L"\\";
    if (FAILED(obex->GetFolderListing(connectionId, listed.c_str(), &entry))) entry = nullptr;
  }
  start = 1;
  for (size_t i = 1; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != L'\\') continue;
    if (i > start) {
      AppendItem(items, text.substr(0, i), text.substr(start, i - start),
                 start == lastStart && i == lastEnd ? entry : nullptr);
    }
    start = i + 1;
  }
  FreeEntryList(entry);

  const UINT rootBytes = GetIDListSize(g_root) - sizeof(USHORT);
  auto* list = static_cast<BYTE*>(CoTaskMemAlloc(rootBytes + items.size() + sizeof(USHORT)));
  if (!list) return nullptr;
  memcpy(list, g_root, rootBytes);
  memcpy(list + rootBytes, items.data(), items.size());
  memset(list + rootBytes + items.size(), 0, sizeof(USHORT));
  return reinterpret_cast<ITEMIDLIST*>(list);
}

void QueueShellNotify(LONG event, bool root) {
  QueueItem* item = new (std::nothrow) QueueItem;
  if (!item) return;
  item->event = event;
  if (root && g_root) item->first = CopyList(g_root);
  if (!item->first && event != kEndItem) {
    delete item;
    return;
  }
  Enqueue(item);
}

void QueueShellNotifyPath(int connectionId, LONG event, const CBstr& path, short volumeCount, IObex2* obex) {
  QueueItem* item = new (std::nothrow) QueueItem;
  if (!item) return;
  item->event = event;
  item->first = BuildModuleIDList(connectionId, path, volumeCount, obex);
  if (!item->first) {
    delete item;
    return;
  }
  Enqueue(item);
}

void QueueShellNotifyRename(int connectionId, LONG event, const CBstr& oldPath, const CBstr& newPath,
                            short volumeCount, IObex2* obex) {
  QueueItem* item = new (std::nothrow) QueueItem;
  if (!item) return;
  item->event = event;
  item->first = BuildModuleIDList(connectionId, oldPath, volumeCount, nullptr);
  item->second = BuildModuleIDList(connectionId, newPath, volumeCount, obex);
  if (!item->first || !item->second) {
    delete item;
    return;
  }
  Enqueue(item);
}
