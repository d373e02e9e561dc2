// link/OBEXCom.h - the module's file-system operations as OBEX requests.
#pragma once
#include <windows.h>
#include <objidl.h>

#include "FolderEntry.h"
#include "IObexStream.h"
#include "ITransportLayer.h"
#include "OBEXUtility.h"

// Paths are module paths as the packet layer walks them: "X:\a\b" on modules
// with several volumes, "\a\b" otherwise. The connection id is accepted by
// every file operation and not used. Copy and the moves take the new path
// first, as ObexConnection and the requests pass them.
class IObex {
public:
  virtual ~IObex() = default;
  virtual HRESULT Copy(int id, const wchar_t* newPath, const wchar_t* existingPath) = 0;
  virtual HRESULT CreateDir(int id, const wchar_t* path) = 0;
  virtual HRESULT Delete(int id, const wchar_t* path) = 0;
  // path ends in "*" for the listing of its folder; S_FALSE for an empty one.
  virtual HRESULT GetFolderListing(int id, const wchar_t* path, FolderEntry** entries) = 0;
  virtual HRESULT CloseConnection(int id, int skipDisconnect) = 0;
  virtual HRESULT Disconnect() = 0;
  // kind "StdDirs" creates the standard folders instead of formatting.
  virtual HRESULT Format(int id, const wchar_t* volume, const wchar_t* kind) = 0;
  virtual HRESULT GetLabel(int id, const wchar_t* volume, BSTR* label, int attribute) = 0;
  // attribute 1 total, 2 free size.
  virtual HRESULT GetCapacity(int id, const wchar_t* volume, LONG* value, int attribute) = 0;
  // The module's checksum of the file's first count bytes.
  virtual HRESULT QueryFileParameter(int id, const wchar_t* path, DWORD count, WORD* value) = 0;
  virtual HRESULT GetFile(int id, const wchar_t* path, IObexStream* sink, DWORD resumeCount) = 0;
  virtual HRESULT Move(int id, const wchar_t* newPath, const wchar_t* existingPath) = 0;
  virtual HRESULT MoveDir(int id, const wchar_t* newPath, const wchar_t* existingPath) = 0;
  virtual HRESULT PutFile(int id, const wchar_t* path, IStream* source, DWORD size,
                          LONG attributes, DATE created, DATE accessed, DATE modified) = 0;
  virtual HRESULT RemoveDir(int id, const wchar_t* path) = 0;
  virtual HRESULT SetLabel(int id, const wchar_t* volume, const wchar_t* label, int attribute) = 0;
  virtual HRESULT SetAttributes(int id, const wchar_t* path, LONG attributes) = 0;
  virtual HRESULT SetTime(int id, const wchar_t* path, DATE created, DATE accessed,
                          DATE modified) = 0;
  virtual HRESULT OpenLink(const char* port, int baud) = 0;
  virtual HRESULT Connect(int* id, int targetKind) = 0;
};

class IObex2 : public IObex {
public:
  virtual HRESULT AttachTransport(ITransportLayer* transport) = 0;
  virtual HRESULT GetModel(char* model, int capacity) = 0;
  virtual HRESULT GetVolumeCount(WORD* count) = 0;
};

HRESULT CreateObexCom(IObex2** obex);
