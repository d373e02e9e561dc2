// tools/ZTRInit/ModuleAccess.h - the module operations ZTRInit needs, as queued
// requests on the connection of one port, without the server.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "SuiteString.h"

class CPhysicalConnection;

class CVKSAccess {
public:
  // Selects port (its result is ignored: the first operation reports it).
  CVKSAccess(const wchar_t* port, int baud);
  ~CVKSAccess();
  CVKSAccess(const CVKSAccess&) = delete;
  CVKSAccess& operator=(const CVKSAccess&) = delete;

  HRESULT SelectPort(const wchar_t* port, bool notify);
  // The module's volumes; the first call opens the link on this thread.
  HRESULT GetVolumeCount(short* count);
  HRESULT CreateDir(const wchar_t* path);
  HRESULT Delete(const wchar_t* path);
  HRESULT Format(const wchar_t* volume);
  // content must answer IStream; the worker reads it to the end.
  HRESULT PutFile(const wchar_t* path, IUnknown* content, LONG attributes);
  // Leaves the module in command mode and destroys this port's connection;
  // connections of other ports stay.
  void ReleaseConnection();

  // Module paths as the requests take them; exposed for the tests.
  bool IsValidDrive(wchar_t letter);
  HRESULT NormalizePath(const wchar_t* in, CBstr* out);
  bool IsValidPath(const CBstr& path, bool allowWildcards);
  HRESULT ValidateVolumeName(const wchar_t* text, CBstr* drive);

private:
  HRESULT Execute(int type, const CBstr& path, IUnknown* content = nullptr, LONG attributes = 0);
  HRESULT PathRequest(int type, const wchar_t* path);

  wchar_t m_portName[32] = {};
  int m_baud;
  short m_volumeCount = 0;
  CPhysicalConnection* m_connection = nullptr;
  CRITICAL_SECTION m_lock;
};
