// link/OBEXCom.cpp - the module's file-system operations as OBEX requests.
#include "OBEXCom.h"

#include <cstring>
#include <new>
#include <string>

#include "ComCore.h"
#include "OBEXHelpers.h"
#include "SuiteString.h"
#include "SuiteUtil.h"

namespace {

constexpr DWORD kCopyTimeoutMs = 2000000;
constexpr DWORD kFormatTimeoutMs = 300000;
constexpr DWORD kTelecomPutTimeoutMs = 300000;
constexpr DWORD kSlowGetTimeoutMs = 140000;
constexpr size_t kModelCacheSize = 40;
constexpr DWORD kDeviceInfoSize = 400;
constexpr char kListingType[] = "x-obex/folder-listing";
constexpr wchar_t kDeviceInfoPath[] = L"\\telecom\\devinfo.txt";

// Negative results and S_FALSE pass; the success values that carry the
// module's response code become S_OK.
HRESULT Filter(HRESULT hr) { return (FAILED(hr) || hr == S_FALSE) ? hr : S_OK; }

bool FieldIs(const wchar_t* path, int index, const wchar_t* name) {
  return CompareText(CBstr(path).GetField(L'\\', index).GetBstr(), name, FALSE) == 0;
}

void CopyText(char* out, size_t capacity, const char* text, size_t length) {
  if (capacity == 0) return;
  const size_t n = length < capacity - 1 ? length : capacity - 1;
  memcpy(out, text, n);
  out[n] = 0;
}

// The path as Copy and Move send it: "\" becomes "/".
void ToWirePath(const wchar_t* path, wchar_t (&out)[128]) {
  size_t i = 0;
  for (; path[i] && i < 127; ++i) out[i] = path[i] == L'\\' ? L'/' : path[i];
  out[i] = 0;
}

class OBEXCom final : public IObex2 {
public:
  OBEXCom() = default;
  ~OBEXCom() override { delete m_packets; }
  OBEXCom(const OBEXCom&) = delete;
  OBEXCom& operator=(const OBEXCom&) = delete;

  HRESULT Copy(int, const wchar_t* newPath, const wchar_t* existingPath) override {
    return CopyOrMove("copy", existingPath, newPath);
  }
  HRESULT CreateDir(int, const wchar_t* path) override {
    if (!m_packets) return E_UNEXPECTED;
    // Entering the last component with creation allowed makes it; no request follows.
    return Finish(m_packets->NavigateToPath(path, kObexSetPath & 0x7F, true));
  }
  HRESULT Delete(int, const wchar_t* path) override;
  HRESULT GetFolderListing(int, const wchar_t* path, FolderEntry** entries) override;
  HRESULT CloseConnection(int id, int skipDisconnect) override;
  HRESULT Disconnect() override {
    return m_packets ? Filter(m_packets->CloseLink()) : E_UNEXPECTED;
  }
  HRESULT Format(int, const wchar_t* volume, const wchar_t* kind) override;
  HRESULT GetLabel(int, const wchar_t* volume, BSTR* label, int attribute) override;
  HRESULT GetCapacity(int, const wchar_t* volume, LONG* value, int attribute) override;
  HRESULT QueryFileParameter(int, const wchar_t* path, DWORD count, WORD* value) override;
  HRESULT GetFile(int, const wchar_t* path, IObexStream* sink, DWORD resumeCount) override;
  HRESULT Move(int, const wchar_t* newPath, const wchar_t* existingPath) override {
    return CopyOrMove("move", existingPath, newPath);
  }
  HRESULT MoveDir(int id, const wchar_t* newPath, const wchar_t* existingPath) override {
    return Move(id, newPath, existingPath);
  }
  HRESULT PutFile(int id, const wchar_t* path, IStream* source, DWORD size, LONG attributes,
                  DATE created, DATE accessed, DATE modified) override;
  HRESULT RemoveDir(int id, const wchar_t* path) override { return Delete(id, path); }
  HRESULT SetLabel(int, const wchar_t* volume, const wchar_t* label, int attribute) override;
  HRESULT SetAttributes(int, const wchar_t* path, LONG attributes) override;
  HRESULT SetTime(int, const wchar_t* path, DATE created, DATE accessed, DATE modified) override;
  HRESULT OpenLink(const char* port, int baud) override {
    return m_packets ? Filter(m_packets->OpenLink(port, baud)) : E_UNEXPECTED;
  }
  HRESULT Connect(int* id, int targetKind) override {
    return m_packets ? Filter(m_packets->Connect(id, targetKind)) : E_UNEXPECTED;
  }
  HRESULT AttachTransport(ITransportLayer* transport) override;
  HRESULT GetModel(char* model, int capacity) override;
  HRESULT GetVolumeCount(WORD* count) override {
    return m_packets ? Filter(m_packets->GetVolumeCount(count)) : E_UNEXPECTED;
  }

private:
  // Every operation leaves an empty packet behind.
  HRESULT Finish(HRESULT hr) {
    m_packets->BeginPacket();
    return Filter(hr);
  }
  bool HasSeveralVolumes() {
    WORD count = 0;
    return SUCCEEDED(m_packets->GetVolumeCount(&count)) && count >= 2;
  }
  // The one place that decides which path goes in which parameter: the
  // existing object in '5', the new one in '6'.
  HRESULT CopyOrMove(const char* verb, const wchar_t* existingPath, const wchar_t* newPath);
  // The App-Params header of an answer; false when it is missing or malformed.
  bool GetAnswer(BYTE tag, DWORD expectedLength, const BYTE** value);

  std::string m_deviceInfo;
  char m_modelCache[kModelCacheSize] = {};
  IOBEXPhysical* m_packets = nullptr;
};

HRESULT OBEXCom::CopyOrMove(const char* verb, const wchar_t* existingPath,
                            const wchar_t* newPath) {
  if (!m_packets) return E_UNEXPECTED;
  if (!IsValidObexPath(existingPath) || !IsValidObexPath(newPath)) return E_OBEX_PATH_TOO_LONG;
  wchar_t existingWire[128];
  wchar_t newWire[128];
  ToWirePath(existingPath, existingWire);
  ToWirePath(newPath, newWire);
  m_packets->BeginPacket();
  HRESULT hr = m_packets->AddAppParamTriple({verb, existingWire, newWire}, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexPutFinal, kCopyTimeoutMs);
  return Finish(hr);
}

bool OBEXCom::GetAnswer(BYTE tag, DWORD expectedLength, const BYTE** value) {
  BYTE* params = nullptr;
  DWORD length = 0;
  if (FAILED(m_packets->GetHeaderValue(kHdrAppParams, &params, &length))) return false;
  DWORD found = 0;
  return FindAppParam(params, length, tag, value, &found) && found == expectedLength;
}

HRESULT OBEXCom::Delete(int, const wchar_t* path) {
  if (!m_packets) return E_UNEXPECTED;
  HRESULT hr = m_packets->NavigateToPath(path, kObexPut, false);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexPutFinal, kObexDefaultTimeoutMs);
  return Finish(hr);
}

HRESULT OBEXCom::GetFolderListing(int, const wchar_t* path, FolderEntry** entries) {
  if (!m_packets) return E_UNEXPECTED;
  if (!entries) return E_POINTER;
  *entries = nullptr;
  HRESULT hr = m_packets->NavigateToPath(path, kObexGet, false);
  if (SUCCEEDED(hr)) hr = m_packets->AddTypeHeader(kListingType, kObexGet);
  if (SUCCEEDED(hr)) hr = m_packets->ReceiveFolderListing(entries);
  return Finish(hr);
}

HRESULT OBEXCom::CloseConnection(int id, int skipDisconnect) {
  if (!m_packets) return E_UNEXPECTED;
  HRESULT hr = S_OK;
  if (!skipDisconnect) hr = m_packets->Disconnect(id);
  m_modelCache[0] = 0;
  return Filter(hr);
}

HRESULT OBEXCom::Format(int, const wchar_t* volume, const wchar_t* kind) {
  if (!m_packets) return E_UNEXPECTED;
  m_packets->BeginPacket();
  if (HasSeveralVolumes()) {
    const HRESULT hr = m_packets->NavigateToPath(volume, kObexPut, false);
    if (FAILED(hr)) return Finish(hr);
  }
  const bool standardFolders = kind && wcscmp(kind, L"StdDirs") == 0;
  HRESULT hr = m_packets->AddAppParamNarrow(standardFolders ? '3' : '1', nullptr, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexPutFinal, kFormatTimeoutMs);
  return Finish(hr);
}

HRESULT OBEXCom::GetLabel(int, const wchar_t* volume, BSTR* label, int attribute) {
  if (!m_packets) return E_UNEXPECTED;
  if (!label) return E_POINTER;
  *label = nullptr;
  m_packets->BeginPacket();
  HRESULT hr = HasSeveralVolumes() ? m_packets->NavigateToPath(volume, kObexGet, false) : S_OK;
  if (SUCCEEDED(hr)) hr = m_packets->AddAppParamByte('2', static_cast<BYTE>(attribute), kObexGet);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexGetFinal, kObexDefaultTimeoutMs);
  if (FAILED(hr)) return Finish(hr);

  BYTE* value = nullptr;
  DWORD length = 0;
  if (FAILED(m_packets->GetHeaderValue(kHdrName, &value, &length))) return Finish(E_FAIL);
  // The value holds a Name header of its own; its text is read no further
  // than either length allows.
  const BYTE* text = value;
  DWORD textBytes = length;
  if (length >= 3 && value[0] == kHdrName) {
    text = value + 3;
    textBytes = length - 3;
    const DWORD inner = (static_cast<DWORD>(value[1]) << 8) | value[2];
    if (inner >= 3 && inner - 3 < textBytes) textBytes = inner - 3;
  }
  std::wstring result;
  for (DWORD i = 0; i + 1 < textBytes; i += 2) {
    const wchar_t unit = static_cast<wchar_t>((text[i] << 8) | text[i + 1]);
    if (unit == 0) break;
    result += unit;
  }
  *label = SysAllocStringLen(result.c_str(), static_cast<UINT>(result.size()));
  return Finish(*label ? hr : E_OUTOFMEMORY);
}

HRESULT OBEXCom::GetCapacity(int, const wchar_t* volume, LONG* value, int attribute) {
  if (!m_packets) return E_UNEXPECTED;
  if (!value) return E_POINTER;
  *value = 0;
  m_packets->BeginPacket();
  HRESULT hr = HasSeveralVolumes() ? m_packets->NavigateToPath(volume, kObexGet, false) : S_OK;
  if (SUCCEEDED(hr)) hr = m_packets->AddAppParamByte('2', static_cast<BYTE>(attribute), kObexGet);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexGetFinal, kObexDefaultTimeoutMs);
  if (FAILED(hr)) return Finish(hr);
  const BYTE* answer = nullptr;
  if (!GetAnswer('2', 4, &answer)) return Finish(E_FAIL);
  *value = static_cast<LONG>((static_cast<DWORD>(answer[0]) << 24) |
                             (static_cast<DWORD>(answer[1]) << 16) |
                             (static_cast<DWORD>(answer[2]) << 8) | answer[3]);
  return Finish(hr);
}

HRESULT OBEXCom::QueryFileParameter(int, const wchar_t* path, DWORD count, WORD* value) {
  if (!m_packets) return E_UNEXPECTED;
  if (!value) return E_POINTER;
  *value = 0;
  // A failed walk would leave the module in another folder, whose file of
  // the same name would answer.
  HRESULT hr = m_packets->NavigateToPath(path, kObexGet, false);
  if (SUCCEEDED(hr)) hr = m_packets->AddAppParamByte('9', static_cast<BYTE>(count), kObexGet);
  if (FAILED(hr)) return Finish(hr);
  const ULONGLONG timeout = static_cast<ULONGLONG>(count) * 70 / 1000 + kObexDefaultTimeoutMs;
  hr = m_packets->Transact(kObexGetFinal,
                           timeout > 0xFFFFFFFEull ? 0xFFFFFFFEu : static_cast<DWORD>(timeout));
  if (FAILED(hr)) return Finish(hr);
  const BYTE* answer = nullptr;
  if (!GetAnswer('9', 2, &answer)) return Finish(E_FAIL);
  *value = static_cast<WORD>((answer[0] << 8) | answer[1]);
  return Finish(hr);
}

HRESULT OBEXCom::GetFile(int, const wchar_t* path, IObexStream* sink, DWORD resumeCount) {
  if (!m_packets) return E_UNEXPECTED;
  HRESULT hr = m_packets->NavigateToPath(path, kObexGet, false);
  if (SUCCEEDED(hr) && resumeCount != 0) {
    hr = m_packets->AddAppParamByte('7', static_cast<BYTE>(resumeCount), kObexGet);
  }
  if (FAILED(hr)) return Finish(hr);
  const bool slow = FieldIs(path, 1, L"telecom") || FieldIs(path, 2, L"msg");
  return Finish(m_packets->ReceiveToStream(sink, slow ? kSlowGetTimeoutMs : kObexDefaultTimeoutMs));
}

HRESULT OBEXCom::PutFile(int id, const wchar_t* path, IStream* source, DWORD size,
                         LONG attributes, DATE, DATE, DATE modified) {
  if (!m_packets) return E_UNEXPECTED;
  if (!source) return E_INVALIDARG;
  const bool telecom = FieldIs(path, 1, L"telecom");
  HRESULT hr = m_packets->NavigateToPath(path, kObexPut, false);
  if (SUCCEEDED(hr)) hr = m_packets->AddUInt32Header(kHdrLength, size);
  if (SUCCEEDED(hr) && !telecom) hr = m_packets->AddTimeHeader(modified, kObexPut);
  if (FAILED(hr)) return Finish(hr);
  {
    const ComPtr<IStream> held(source);  // for as long as the packets read it
    hr = m_packets->SendFromStream({size, held.Get()},
                                   telecom ? kTelecomPutTimeoutMs : kObexDefaultTimeoutMs);
  }
  hr = Finish(hr);
  if (SUCCEEDED(hr) && !telecom) hr = SetAttributes(id, path, attributes);
  return hr;
}

HRESULT OBEXCom::SetLabel(int, const wchar_t* volume, const wchar_t* label, int attribute) {
  if (!m_packets) return E_UNEXPECTED;
  m_packets->BeginPacket();
  HRESULT hr = HasSeveralVolumes() ? m_packets->NavigateToPath(volume, kObexPut, false) : S_OK;
  if (SUCCEEDED(hr)) hr = m_packets->AddAppParamByte('2', static_cast<BYTE>(attribute), kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->AddNameHeader(label ? label : L"", kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexPutFinal, kObexDefaultTimeoutMs);
  return Finish(hr);
}

HRESULT OBEXCom::SetAttributes(int, const wchar_t* path, LONG attributes) {
  if (!m_packets) return E_UNEXPECTED;
  char text[16];
  FormatPermissions(static_cast<DWORD>(attributes), text);
  HRESULT hr = m_packets->NavigateToPath(path, kObexPut, false);
  if (SUCCEEDED(hr)) hr = m_packets->AddAppParamNarrow('8', text, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexPutFinal, kObexDefaultTimeoutMs);
  return Finish(hr);
}

HRESULT OBEXCom::SetTime(int, const wchar_t* path, DATE created, DATE accessed, DATE modified) {
  if (!m_packets) return E_UNEXPECTED;
  HRESULT hr = m_packets->NavigateToPath(path, kObexPut, false);
  if (SUCCEEDED(hr)) hr = m_packets->AddAppParamNarrow('8', nullptr, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->AddTimeHeader(created, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->AddTimeHeader(modified, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->AddTimeHeader(accessed, kObexPut);
  if (SUCCEEDED(hr)) hr = m_packets->Transact(kObexPutFinal, kObexDefaultTimeoutMs);
  return Finish(hr);
}

HRESULT OBEXCom::AttachTransport(ITransportLayer* transport) {
  if (!m_packets) {
    RETURN_IF_FAILED(CreateObexPacketLayer(&m_packets));
  }
  const HRESULT hr = m_packets->AttachTransport(transport);
  if (FAILED(hr)) {
    delete m_packets;
    m_packets = nullptr;
  }
  return hr;
}

HRESULT OBEXCom::GetModel(char* model, int capacity) {
  if (!model || capacity <= 0) return E_INVALIDARG;
  model[0] = 0;
  if (!m_packets) return E_UNEXPECTED;
  const size_t room = static_cast<size_t>(capacity);
  HRESULT hr = m_packets->GetModel(model, room);
  if (SUCCEEDED(hr)) {
    CopyText(m_modelCache, sizeof(m_modelCache), model, strnlen(model, room));
    return hr;
  }
  if (hr != E_NOTIMPL && model[0]) return hr;
  model[0] = 0;
  if (m_modelCache[0]) {
    CopyText(model, room, m_modelCache, strlen(m_modelCache));
    return S_OK;
  }

  // No AT+CGMM answer: the module describes itself in a file.
  hr = m_packets->NavigateToPath(kDeviceInfoPath, kObexGet, false);
  if (FAILED(hr)) {
    m_packets->BeginPacket();
    return hr;
  }
  CGetFileBuffer content(kDeviceInfoSize);
  hr = m_packets->ReceiveToStream(&content, kObexDefaultTimeoutMs);
  m_packets->BeginPacket();
  if (FAILED(hr)) return hr;
  m_deviceInfo.assign(reinterpret_cast<const char*>(content.GetData()), content.GetUsed());
  const size_t at = m_deviceInfo.find("MOD:");
  if (at == std::string::npos) return hr;
  const size_t from = at + 4;
  const size_t to = m_deviceInfo.find_first_of("\r\n", from);
  const std::string found = m_deviceInfo.substr(from, to == std::string::npos ? std::string::npos
                                                                               : to - from);
  CopyText(model, room, found.data(), found.size());
  CopyText(m_modelCache, sizeof(m_modelCache), found.data(), found.size());
  return S_OK;
}

}  // namespace

HRESULT CreateObexCom(IObex2** obex) {
  if (!obex) return E_POINTER;
  *obex = new (std::nothrow) OBEXCom();
  return *obex ? S_OK : E_OUTOFMEMORY;
}
