// link/ObexConnection.h - IObex2 over the OBEX operations, with the folder-listing cache.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "CriticalSection.h"
#include "FolderEntry.h"
#include "OBEXCom.h"
#include "Ring.h"
#include "SuiteString.h"
#include "SuiteUtil.h"

// Listings older than this are read again from the module.
constexpr DWORD kListingMaxAgeMs = 1800000;

// The clock of the listing ages (GetTickCount; tests replace it). Null restores it.
using TickSource = DWORD(WINAPI*)();
void SetListingClock(TickSource clock);

// Folder paths: "\X:\dir", "X:\dir" or "\dir" (one-volume modules).
// True when the component after the drive part is "telecom".
bool IsTelecomPath(const CBstr& path);
// True when the folder is a volume's root (nothing after the drive part).
bool IsVolumeRoot(const CBstr& folder);

class ObexConnection final : public IObex2 {
public:
  // Takes ownership of inner.
  explicit ObexConnection(IObex2* inner);
  ~ObexConnection() override;
  ObexConnection(const ObexConnection&) = delete;
  ObexConnection& operator=(const ObexConnection&) = delete;

  HRESULT Copy(int id, const wchar_t* newPath, const wchar_t* existingPath) override;
  HRESULT CreateDir(int id, const wchar_t* path) override;
  HRESULT Delete(int id, const wchar_t* path) override;
  HRESULT GetFolderListing(int id, const wchar_t* path, FolderEntry** entries) override;
  HRESULT CloseConnection(int id, int skipDisconnect) override;
  HRESULT Disconnect() override;
  HRESULT Format(int id, const wchar_t* volume, const wchar_t* kind) override;
  HRESULT GetLabel(int id, const wchar_t* volume, BSTR* label, int attribute) override;
  HRESULT GetCapacity(int id, const wchar_t* volume, LONG* value, int attribute) override;
  HRESULT QueryFileParameter(int id, const wchar_t* path, DWORD count, WORD* value) override;
  HRESULT GetFile(int id, const wchar_t* path, IObexStream* sink, DWORD resumeCount) override;
  HRESULT Move(int id, const wchar_t* newPath, const wchar_t* existingPath) override;
  HRESULT MoveDir(int id, const wchar_t* newPath, const wchar_t* existingPath) override;
  HRESULT PutFile(int id, const wchar_t* path, IStream* source, DWORD size, LONG attributes,
                  DATE created, DATE accessed, DATE modified) override;
  HRESULT RemoveDir(int id, const wchar_t* path) override;
  HRESULT SetLabel(int id, const wchar_t* volume, const wchar_t* label, int attribute) override;
  HRESULT SetAttributes(int id, const wchar_t* path, LONG attributes) override;
  HRESULT SetTime(int id, const wchar_t* path, DATE created, DATE accessed,
                  DATE modified) override;
  HRESULT OpenLink(const char* port, int baud) override;
  HRESULT Connect(int* id, int targetKind) override;
  HRESULT AttachTransport(ITransportLayer* transport) override;
  HRESULT GetModel(char* model, int capacity) override;
  HRESULT GetVolumeCount(WORD* count) override;

  void InvalidateCache() { InterlockedExchange(&m_invalidateAll, 1); }
  int GetConnectionId() const;  // first open id, 0 when none
  bool IsConnected() const;

private:
  struct CacheEntry : Ring<CacheEntry> {
    DWORD stamp = 0;
    CBstr folder;
    FolderEntry* listing = nullptr;
  };

  // The answer of an operation while no OBEX connection is open.
  HRESULT NotConnectedResult() const;
  HRESULT Filter(int id, HRESULT result);
  HRESULT ListFolder(int id, const CBstr& folder, const wchar_t* listingPath,
                     FolderEntry** entries);
  HRESULT ListOwnEntry(int id, const CBstr& path, FolderEntry** entry);

  CacheEntry* Find(const CBstr& folder);
  void Store(const CBstr& folder, const FolderEntry* listing);
  void DropEntry(CacheEntry* entry);
  void DropFolder(const CBstr& folder);
  void DropPrefix(const CBstr& prefix);
  void DropAll();
  FolderEntry* FindCached(const CBstr& path);  // an entry of a cached parent listing
  void AddEntry(const CBstr& path, const FolderEntry& model, bool replace);
  void RemoveEntry(const CBstr& path);
  // Applies patch to the path's cached entry after a success; else drops its folder.
  template <class Patch>
  void PatchEntry(HRESULT result, const CBstr& path, Patch patch);
  void AfterCopy(HRESULT result, const CBstr& newPath, const CBstr& existingPath, bool isFolder);
  void AfterMove(HRESULT result, const CBstr& newPath, const CBstr& existingPath, bool isFolder);

  std::vector<int> m_connectionIds;
  Ring<CacheEntry> m_cache;
  LONG m_invalidateAll = 0;
  bool m_linkOpen = false;
  HRESULT m_linkState;
  IObex2* m_inner;
  // Guards the id list and the link state, which CPhysicalConnection reads
  // from other threads (a leaf lock: nothing is called while it is held).
  mutable CCriticalSection m_stateLock;
};
