// com/ErrorInfoChannel.cpp - the channel hook behind InstallErrorInfoChannel.
#include "ErrorInfoChannel.h"
#include "ComBase.h"
#include <oleauto.h>
#include <vector>

// {5B8A3C1E-7D2F-4E61-9A0B-3C4D5E6F7A81}
extern const GUID kErrorInfoExtension = {0x5b8a3c1e, 0x7d2f, 0x4e61, {0x9a, 0x0b, 0x3c, 0x4d, 0x5e, 0x6f, 0x7a, 0x81}};

namespace {
const DWORD kWireMagic = 0x31494556;   // "VEI1"
const DWORD kCallMarker = 0x31434556;  // "VEC1", a client's call

// Layout: magic, GUID, help context, then source, description and help file,
// each as a character count and the UTF-16 characters.
class CWireWriter {
public:
  CWireWriter(BYTE* buffer, ULONG capacity) : m_buffer(buffer), m_capacity(capacity) {}
  void Put(const void* data, ULONG size) {
    if (m_buffer && m_size + size <= m_capacity) memcpy(m_buffer + m_size, data, size);
    m_size += size;
  }
  void PutText(BSTR text) {
    DWORD length = SysStringLen(text);
    Put(&length, sizeof(length));
    Put(text, length * sizeof(wchar_t));
  }
  ULONG GetSize() const { return m_size; }

private:
  BYTE* m_buffer;
  ULONG m_capacity;
  ULONG m_size = 0;
};

class CWireReader {
public:
  CWireReader(const BYTE* buffer, ULONG size) : m_buffer(buffer), m_size(size) {}
  bool Get(void* data, ULONG size) {
    if (size > m_size - m_pos) return false;
    memcpy(data, m_buffer + m_pos, size);
    m_pos += size;
    return true;
  }
  bool GetText(BSTR* text) {
    DWORD length = 0;
    if (!Get(&length, sizeof(length)) || length > (m_size - m_pos) / sizeof(wchar_t)) return false;
    *text = SysAllocStringLen(nullptr, length);
    if (!*text) return false;
    return Get(*text, length * sizeof(wchar_t));
  }

private:
  const BYTE* m_buffer;
  ULONG m_size;
  ULONG m_pos = 0;
};

struct CErrorFields {
  GUID guid = GUID_NULL;
  DWORD helpContext = 0;
  BSTR source = nullptr, description = nullptr, helpFile = nullptr;
  ~CErrorFields() {
    SysFreeString(source);
    SysFreeString(description);
    SysFreeString(helpFile);
  }
};

// What the server thread is about to send with its reply.
thread_local std::vector<BYTE>* t_pendingReply = nullptr;

class CErrorInfoHook final : public IChannelHook, public CComObjectBase {
  COM_QI_TABLE(CErrorInfoHook, IChannelHook)

public:
  CErrorInfoHook() : CComObjectBase(Lifetime::Uncounted) {}

  // Every call carries a marker: the server hook only hears of calls that
  // bring data for it, and it must hear of each one (see ServerNotify).
  STDMETHODIMP_(void) ClientGetSize(REFGUID ext, REFIID, ULONG* size) override {
    *size = IsEqualGUID(ext, kErrorInfoExtension) ? sizeof(kCallMarker) : 0;
  }
  STDMETHODIMP_(void) ClientFillBuffer(REFGUID ext, REFIID, ULONG* size, void* data) override {
    if (!IsEqualGUID(ext, kErrorInfoExtension) || *size < sizeof(kCallMarker)) {
      *size = 0;
      return;
    }
    memcpy(data, &kCallMarker, sizeof(kCallMarker));
    *size = sizeof(kCallMarker);
  }

  STDMETHODIMP_(void) ClientNotify(REFGUID ext, REFIID, ULONG size, void* data, DWORD dataRep,
                                   HRESULT) override {
    if (!IsEqualGUID(ext, kErrorInfoExtension) || !data || !size) return;
    if ((dataRep & 0xffff) != (NDR_LOCAL_DATA_REPRESENTATION & 0xffff)) return;
    // The platform carried the information itself: leave it alone.
    IErrorInfo* existing = nullptr;
    if (GetErrorInfo(0, &existing) == S_OK && existing) {
      SetErrorInfo(0, existing);
      existing->Release();
      return;
    }
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(DeserializeErrorInfo(static_cast<const BYTE*>(data), size, &info))) {
      SetErrorInfo(0, info);
      info->Release();
    }
  }

  // A call starts with no error information, so a reply never carries an
  // earlier call's leftovers (nothing on Wine clears it between calls).
  STDMETHODIMP_(void) ServerNotify(REFGUID ext, REFIID, ULONG size, void* data, DWORD) override {
    if (!IsEqualGUID(ext, kErrorInfoExtension) || size < sizeof(kCallMarker) || !data) return;
    SetErrorInfo(0, nullptr);
  }

  STDMETHODIMP_(void) ServerGetSize(REFGUID ext, REFIID, HRESULT, ULONG* size) override {
    *size = 0;
    delete t_pendingReply;
    t_pendingReply = nullptr;
    if (!IsEqualGUID(ext, kErrorInfoExtension)) return;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return;
    // Put back: the platform, where it carries error information, takes it too.
    SetErrorInfo(0, info);
    ULONG needed = 0;
    if (SUCCEEDED(SerializeErrorInfo(info, nullptr, &needed))) {
      t_pendingReply = new (std::nothrow) std::vector<BYTE>();
      if (t_pendingReply) {
        try {
          t_pendingReply->resize(needed);
          if (SUCCEEDED(SerializeErrorInfo(info, t_pendingReply->data(), &needed))) *size = needed;
        } catch (const std::bad_alloc&) {
        }
      }
    }
    info->Release();
  }

  STDMETHODIMP_(void) ServerFillBuffer(REFGUID ext, REFIID, ULONG* size, void* data, HRESULT) override {
    ULONG capacity = *size;
    *size = 0;
    if (!IsEqualGUID(ext, kErrorInfoExtension) || !t_pendingReply) return;
    if (t_pendingReply->size() <= capacity) {
      memcpy(data, t_pendingReply->data(), t_pendingReply->size());
      *size = static_cast<ULONG>(t_pendingReply->size());
    }
    delete t_pendingReply;
    t_pendingReply = nullptr;
  }
};

}  // namespace

HRESULT SerializeErrorInfo(IErrorInfo* info, BYTE* buffer, ULONG* size) {
  if (!info || !size) return E_POINTER;
  CErrorFields f;
  info->GetGUID(&f.guid);
  info->GetHelpContext(&f.helpContext);
  info->GetSource(&f.source);
  info->GetDescription(&f.description);
  info->GetHelpFile(&f.helpFile);
  CWireWriter writer(buffer, buffer ? *size : 0);
  writer.Put(&kWireMagic, sizeof(kWireMagic));
  writer.Put(&f.guid, sizeof(f.guid));
  writer.Put(&f.helpContext, sizeof(f.helpContext));
  writer.PutText(f.source);
  writer.PutText(f.description);
  writer.PutText(f.helpFile);
  if (buffer && writer.GetSize() > *size) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  *size = writer.GetSize();
  return S_OK;
}

HRESULT DeserializeErrorInfo(const BYTE* buffer, ULONG size, IErrorInfo** info) {
  if (!buffer || !info) return E_POINTER;
  *info = nullptr;
  CWireReader reader(buffer, size);
  DWORD magic = 0;
  CErrorFields f;
  if (!reader.Get(&magic, sizeof(magic)) || magic != kWireMagic || !reader.Get(&f.guid, sizeof(f.guid)) ||
      !reader.Get(&f.helpContext, sizeof(f.helpContext)) || !reader.GetText(&f.source) ||
      !reader.GetText(&f.description) || !reader.GetText(&f.helpFile))
    return E_INVALIDARG;
  ComPtr<ICreateErrorInfo> create;
  RETURN_IF_FAILED(CreateErrorInfo(&create));
  create->SetGUID(f.guid);
  create->SetHelpContext(f.helpContext);
  create->SetSource(f.source);
  create->SetDescription(f.description);
  create->SetHelpFile(f.helpFile);
  return create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info));
}

HRESULT CreateErrorInfoChannelHook(IChannelHook** hook) {
  if (!hook) return E_POINTER;
  *hook = new (std::nothrow) CErrorInfoHook();
  return *hook ? S_OK : E_OUTOFMEMORY;
}

HRESULT InstallErrorInfoChannel() {
  static volatile LONG s_installed = 0;
  if (InterlockedCompareExchange(&s_installed, 1, 0) != 0) return S_OK;
  ComPtr<IChannelHook> hook;
  HRESULT hr = CreateErrorInfoChannelHook(&hook);
  if (SUCCEEDED(hr)) hr = CoRegisterChannelHook(kErrorInfoExtension, hook.Get());   // COM keeps its own reference
  if (FAILED(hr)) s_installed = 0;
  return hr;
}
