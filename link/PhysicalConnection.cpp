// link/PhysicalConnection.cpp - connection map, link opening and the worker thread.
#include "PhysicalConnection.h"

#include <process.h>

#include <cstdio>
#include <map>
#include <new>

#include "ComCore.h"
#include "CriticalSection.h"
#include "Handle.h"
#include "MessageWait.h"
#include "ObexConnection.h"
#include "Request.h"
#include "ResultCodes.h"

namespace {

const LinkFactories kRealFactories = {CreateObexCom, CreateSerialTransport, true};
LinkFactories g_factories = kRealFactories;

CCriticalSection& MapLock() {
  static CCriticalSection lock;
  return lock;
}

std::map<std::string, CPhysicalConnection*>& ConnectionMap() {
  static std::map<std::string, CPhysicalConnection*> map;
  return map;
}

}  // namespace

void SetLinkFactories(const LinkFactories* factories) {
  CLockScope lock(MapLock());
  g_factories = factories ? *factories : kRealFactories;
}

CPhysicalConnection::CPhysicalConnection() : m_factories(g_factories) {}

CPhysicalConnection::~CPhysicalConnection() {
  if (m_thread) Close();
  delete m_obex;  // its packet layer goes before the transport it points to
  m_obex = nullptr;
  delete m_transport;
  m_transport = nullptr;
  ClosePort();
}

HRESULT CPhysicalConnection::SetPort(const char* portName, int baud) {
  if (!portName || strlen(portName) > kMaxPortNameLength) return E_INVALIDARG;
  strcpy_s(m_portName, sizeof m_portName, portName);
  m_baud = baud;
  return S_OK;
}

std::string CPhysicalConnection::GetModelText() {
  CLockScope lock(m_lock);
  return m_model;
}

HRESULT CPhysicalConnection::Open(int transportId) {
  m_transportId = transportId;
  if (!m_obex) {
    IObex2* inner = nullptr;
    RETURN_IF_FAILED(m_factories.createObex(&inner));
    if (!inner) return E_UNEXPECTED;
    m_obex = new (std::nothrow) ObexConnection(inner);
    if (!m_obex) {
      delete inner;
      return E_OUTOFMEMORY;
    }
  }
  return StartWorker() ? S_OK : E_UNEXPECTED;
}

bool CPhysicalConnection::StartWorker() {
  if (m_thread) return true;
  // This thread closes the event once its wait is over; were the worker to
  // close it, the wait could begin on a handle value already given to another
  // object (and never end).
  const CEvent startEvent(CEvent::Kind::AutoReset);
  if (!startEvent.IsValid()) return false;
  m_startEvent = startEvent;
  const uintptr_t thread =
      _beginthreadex(nullptr, 0, ConnectionWorkerThread, this, 0, &m_threadId);
  if (!thread) {
    m_startEvent = nullptr;
    return false;
  }
  m_thread = reinterpret_cast<HANDLE>(thread);
  WaitForSingleObject(startEvent, INFINITE);
  bool started;
  {
    CLockScope lock(m_lock);
    started = m_queueSemaphore != nullptr;
    m_startEvent = nullptr;
  }
  if (started) return true;
  WaitForSingleObject(m_thread, INFINITE);
  CloseHandle(m_thread);
  m_thread = nullptr;
  m_threadId = 0;
  return false;
}

unsigned __stdcall ConnectionWorkerThread(void* parameter) {
  static_cast<CPhysicalConnection*>(parameter)->RunWorker();
  return 0;
}

void CPhysicalConnection::RunWorker() {
  SetErrorMode(SEM_FAILCRITICALERRORS);
  if (FAILED(CoInitialize(nullptr))) {
    SetEvent(m_startEvent);
    return;
  }
  HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr);
  if (!semaphore) {
    CoUninitialize();
    SetEvent(m_startEvent);
    return;
  }
  HANDLE startEvent;
  {
    CLockScope lock(m_lock);
    m_queueSemaphore = semaphore;
    m_closing = false;
    startEvent = m_startEvent;
    m_startEvent = nullptr;
  }
  SetEvent(startEvent);  // the starter closes it

  bool idle = false;
  DWORD lastRequestTime = 0;
  for (;;) {
    PumpWaitingMessages();
    DWORD wait = INFINITE;
    if (idle && IsConnected()) {
      const DWORD elapsed = GetTickCount() - lastRequestTime;
      if (elapsed < kIdleCloseMs) {
        wait = kIdleCloseMs - elapsed;
      } else {
        Disconnect(m_obex->GetConnectionId(), true);
        idle = false;
      }
    }
    if (WaitWithMessageLoop(semaphore, wait) != WAIT_OBJECT_0) continue;
    Request* request;
    {
      CLockScope lock(m_lock);
      request = m_queue.First();
    }
    if (!request) continue;
    if (request->type == kRequestClose) {
      {
        CLockScope lock(m_lock);
        request->Unlink();
        m_queueSemaphore = nullptr;
      }
      // Whatever is still queued would wait for ever: fail it now.
      FailQueued();
      SetEvent(request->done);
      CloseHandle(semaphore);
      break;
    }
    bool arm = false;
    ExecuteOne(request, &arm, &lastRequestTime);
    if (arm) idle = true;
  }
  CoUninitialize();
}

void CPhysicalConnection::ExecuteOne(Request* request, bool* armIdleClose,
                                     DWORD* lastRequestTime) {
  HRESULT hr = S_OK;
  if (!m_obex) {
    hr = E_UNEXPECTED;
  } else if (m_obex->GetConnectionId() == 0) {
    int id = 0;
    hr = Connect(&id, 0);
  }
  *armIdleClose = SUCCEEDED(hr) && m_obex && m_obex->GetConnectionId() == 1;

  if (FAILED(hr)) {
    if (request->type == kRequestGetFile) {
      request->BufferSetError(hr);
    } else {
      request->DropMarshalledStream();
      request->SetResult(hr);
    }
  } else {
    request->connectionId = m_obex->GetConnectionId();
    DispatchRequest(request);
    *lastRequestTime = GetTickCount();
  }

  if (request->requeue) {
    RequeueRequest(request);
    return;
  }
  {
    CLockScope lock(m_lock);
    request->Unlink();
  }
  if (request->type == kRequestGetFile) {
    request->BufferComplete();
    delete request;  // nobody waits for a download
  } else {
    SetEvent(request->done);  // the caller may free it from here on
  }
}

void CPhysicalConnection::FailQueued() {
  for (;;) {
    Request* request;
    {
      CLockScope lock(m_lock);
      request = m_queue.First();
      if (request) request->Unlink();
    }
    if (!request) return;
    FailRequest(request, E_CONNECTION_LOST);
  }
}

bool CPhysicalConnection::IsConnected() {
  CLockScope lock(m_lock);
  return m_obex && m_obex->IsConnected();
}

HRESULT CPhysicalConnection::Connect(int* connectionId, int targetKind) {
  CLockScope lock(m_lock);
  if (!m_obex) return E_UNEXPECTED;
  if (!m_obex->IsConnected()) {
    RETURN_IF_FAILED(OpenTransport(1));
  }
  HRESULT hr = m_obex->Connect(connectionId, targetKind);
  if (SUCCEEDED(hr) && m_model.empty()) {
    char model[20] = {};
    hr = m_obex->GetModel(model, sizeof model - 1);
    if (SUCCEEDED(hr)) m_model = model;
  }
  if (FAILED(hr)) {
    // The transport stays until the next link replaces it: the packet layer
    // keeps pointing at it, and the port stays open for the next try.
    m_obex->Disconnect();
  }
  return hr;
}

HRESULT CPhysicalConnection::Disconnect(int connectionId, bool closePort) {
  CLockScope lock(m_lock);
  if (!m_obex) return E_UNEXPECTED;
  HRESULT hr = m_obex->CloseConnection(connectionId, 0);
  if (SUCCEEDED(hr) && !m_obex->IsConnected()) {
    hr = m_obex->Disconnect();
    if (SUCCEEDED(hr) && closePort) ClosePort();
  }
  return hr;
}

HRESULT CPhysicalConnection::OpenPort() {
  CLockScope lock(m_lock);
  if (m_port != INVALID_HANDLE_VALUE) return S_OK;
  wchar_t device[16] = L"\\\\.\\";
  if (!MultiByteToWideChar(CP_THREAD_ACP, 0, m_portName, -1, device + 4, 12))
    return E_INVALIDARG;
  m_port = CreateFileW(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  if (m_port == INVALID_HANDLE_VALUE) {
    m_lastOpenError = GetLastError();
    return m_lastOpenError == ERROR_ACCESS_DENIED ? E_PORT_IN_USE : E_PORT_OPEN_FAILED;
  }
  return S_OK;
}

bool CPhysicalConnection::IsPortOpen() {
  CLockScope lock(m_lock);
  return m_port != INVALID_HANDLE_VALUE;
}

HRESULT CPhysicalConnection::ClosePort() {
  CLockScope lock(m_lock);
  if (m_port != INVALID_HANDLE_VALUE) {
    CloseHandle(m_port);
    m_port = INVALID_HANDLE_VALUE;
  }
  return S_OK;
}

HRESULT CPhysicalConnection::CreateTransport(int transportId, int linkKind) {
  if (transportId != kTransportSerial || linkKind != 1) return E_INVALIDARG;
  CLockScope lock(m_lock);
  if (m_factories.openPort) {
    RETURN_IF_FAILED(OpenPort());
  }
  ITransportLayer* fresh = nullptr;
  RETURN_IF_FAILED(m_factories.createTransport(&fresh, m_port));
  if (!fresh) return E_UNEXPECTED;
  // The old transport goes only once the packet layer points at the new one.
  ITransportLayer* old = m_transport;
  m_transport = fresh;
  const HRESULT attached = m_obex->AttachTransport(fresh);
  if (FAILED(attached)) {
    m_transport = old;
    delete fresh;
    return attached;
  }
  delete old;
  return S_OK;
}

HRESULT CPhysicalConnection::OpenTransport(int linkKind) {
  if (linkKind != 1) return E_INVALIDARG;
  CLockScope lock(m_lock);
  HRESULT hr = CreateTransport(m_transportId, linkKind);
  if (SUCCEEDED(hr)) hr = m_obex->OpenLink(m_portName, m_baud);
  return hr;
}

void CPhysicalConnection::Close() {
  if (!m_thread) return;
  Request* request = new (std::nothrow) Request(this, kRequestClose, 0, 0);
  if (request) {
    SubmitRequest(request);
    WaitForSingleObject(m_thread, INFINITE);
    delete request;
  }
  CloseHandle(m_thread);
  m_thread = nullptr;
  m_threadId = 0;
}

// ---- the connection map ----

HRESULT GetConnection(CPhysicalConnection** connection, int transportId, BSTR portName, int baud,
                      bool closeOthers) {
  if (!connection) return E_INVALIDARG;
  *connection = nullptr;
  CLockScope lock(MapLock());
  CBstr wide(portName);
  const char* narrow = wide.GetNarrow();
  if (!narrow || strlen(narrow) > kMaxPortNameLength) return E_INVALIDARG;
  char key[128];
  snprintf(key, sizeof key, "%d-%s", transportId, narrow);

  auto& map = ConnectionMap();
  auto found = map.find(key);
  if (found != map.end() && found->second) {
    CPhysicalConnection* existing = found->second;
    if (!existing->GetObex() || !existing->HasWorker()) {
      RETURN_IF_FAILED(existing->Open(transportId));
    }
    *connection = existing;
    return S_OK;
  }
  if (closeOthers) CloseAllConnections();
  CPhysicalConnection* fresh = new (std::nothrow) CPhysicalConnection;
  if (!fresh) return E_OUTOFMEMORY;
  fresh->SetPort(narrow, baud);
  map[key] = fresh;
  const HRESULT hr = fresh->Open(transportId);
  // A connection without its worker stays in the map for the next try but is
  // not handed out: requests on it would never run.
  if (SUCCEEDED(hr)) *connection = fresh;
  return hr;
}

HRESULT CloseAllConnections() {
  CLockScope lock(MapLock());
  auto& map = ConnectionMap();
  for (auto& entry : map) delete entry.second;
  map.clear();
  return S_OK;
}

HRESULT RemoveConnection(CPhysicalConnection* connection) {
  CLockScope lock(MapLock());
  auto& map = ConnectionMap();
  for (auto it = map.begin(); it != map.end(); ++it) {
    if (it->second == connection) {
      map.erase(it);
      delete connection;
      return S_OK;
    }
  }
  return S_FALSE;
}
