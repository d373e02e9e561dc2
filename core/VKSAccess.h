// core/VKSAccess.h - module paths and volume names checked and normalised,
// one queued request per operation on the selected port's connection. Needs
// no COM server: ZTRInit may use it on its own.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <functional>

#include "SuiteString.h"

class CPhysicalConnection;
class Request;

// Called after a port change that asked for it (the server queues a shell
// refresh of the module root). Null: none.
using PortChangeHook = void (*)();
void SetPortChangeHook(PortChangeHook hook);

class CVKSAccess {
public:
  CVKSAccess(const wchar_t* port, int baud);
  ~CVKSAccess();
  CVKSAccess(const CVKSAccess&) = delete;
  CVKSAccess& operator=(const CVKSAccess&) = delete;

  HRESULT SelectPort(const wchar_t* port, bool notify);
  HRESULT GetVolumeCount(short* count);

  HRESULT Copy(const wchar_t* existingPath, const wchar_t* newPath);
  HRESULT CreateStdDirs(const wchar_t* volume);
  HRESULT CreateDir(const wchar_t* path);
  HRESULT Delete(const wchar_t* path);
  HRESULT Format(const wchar_t* volume);
  HRESULT GetCapacity(const wchar_t* volume, LONG* total, LONG* free);
  HRESULT GetEntries(const wchar_t* path, VARIANT_BOOL limit, VARIANT* entries);
  HRESULT GetFile(const wchar_t* path, IUnknown** content);
  HRESULT GetLabel(const wchar_t* volume, BSTR* label);
  HRESULT HasSubDirs(const wchar_t* path, VARIANT_BOOL* subdirs);
  HRESULT Move(const wchar_t* existingPath, const wchar_t* newPath);
  HRESULT MoveDir(const wchar_t* existingPath, const wchar_t* newPath);
  HRESULT PutFile(const wchar_t* path, IUnknown* content, LONG attributes);
  HRESULT RemoveDir(const wchar_t* path);
  HRESULT SetAttributes(const wchar_t* path, LONG attributes);
  HRESULT SetLabel(const wchar_t* volume, const wchar_t* label);
  HRESULT SetTime(const wchar_t* path, DATE created, DATE accessed, DATE written);

  // Path rules of the module; they ask the module for its volume count.
  HRESULT NormalizePath(const wchar_t* in, CBstr* out);
  bool IsValidPath(const CBstr& path, bool allowWildcards);
  bool IsValidDrive(wchar_t letter);
  HRESULT ValidateVolumeName(const wchar_t* volume);
  // Empties the current connection's listing cache, when there is one.
  void InvalidateCache();
  // The selected port ("COM3"), empty before one was selected.
  CBstr GetPortName();

  // Before the connections are destroyed at exit: every access object lets
  // go of its connection (disconnecting it), then the connection map is emptied.
  static void CloseAllAccess();
  // The module's model through the connection of port (made when missing).
  static HRESULT QueryModel(const wchar_t* port, int baud, CBstr* model);

private:
  using Fill = std::function<HRESULT(Request*)>;
  using After = std::function<void(Request*)>;
  enum class PathKind { Plain, Wildcards, RootAllowed };

  // Under the lock: a new request on the current connection.
  HRESULT NewRequest(int type, Request** out);
  // Checks the path, builds the request, lets fill complete it, submits it
  // and waits; after sees the finished request before it is freed.
  HRESULT RunPath(int type, const wchar_t* path, PathKind kind, const Fill& fill = nullptr,
                  const After& after = nullptr);
  HRESULT RunTwoPaths(int type, const wchar_t* existingPath, const wchar_t* newPath);
  // mustName: a missing volume text is refused (it would hit the current volume).
  HRESULT RunVolume(int type, const wchar_t* volume, bool mustName, const Fill& fill = nullptr,
                    const After& after = nullptr);
  // Under the lock: builds, completes and queues a request.
  HRESULT Queue(int type, const CBstr& path, const Fill& fill, Request** out);
  HRESULT Run(Request* request, const After& after);
  // The module's own numbers, unsigned in a LONG.
  HRESULT RunCapacity(const wchar_t* volume, bool mustName, LONG* total, LONG* free);
  HRESULT ListDrives(const CBstr& path, VARIANT* entries);
  void Detach();
  // Under the lock: the connection of port; no other access object keeps one
  // that this destroyed.
  static HRESULT OpenConnection(const wchar_t* port, int baud, CPhysicalConnection** out);

  wchar_t portName[32];
  int baud;
  short volumeCount;
  CPhysicalConnection* connection;
  // The lock that serialises port selection is process-wide (see VKSAccess.cpp).
};
