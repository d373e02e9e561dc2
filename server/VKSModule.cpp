// server/VKSModule.cpp - IVKSVolume over the access layer; tells the change
// sinks what changed and reports failures as error information.
#include "VKSModule.h"

#include "ChangeSinks.h"
#include "ExeModule.h"
#include "ResultCodes.h"
#include "ResultData.h"
#include "Settings.h"

namespace {
const wchar_t kInvalidateCache[] = L"\\<INVALIDATE_CACHE_CHANGE";
}

VKSModule::VKSModule() : CComObjectBase(Lifetime::Global), CVKSAccess(nullptr, -1) {}

HRESULT VKSModule::Create(REFIID riid, void** ppv) { return CreateComObject<VKSModule>(riid, ppv); }

HRESULT VKSModule::FinalConstruct() {
  wchar_t port[32];
  HRESULT hr = ReadPortSetting(port, ARRAYSIZE(port));
  if (SUCCEEDED(hr)) hr = CVKSAccess::SelectPort(port, false);
  if (hr == E_NO_COMMUNICATION) hr = S_OK;
  if (FAILED(hr)) OutputDebugStringW(L"VKSModule::FinalConstruct() really failed\n");
  return hr;
}

HRESULT VKSModule::Report(HRESULT hr) {
  g_exeModule.NoteActivity();
  return ReportResult(hr, CLSID_VKSModule, IID_IVKSVolume);
}

HRESULT VKSModule::ReportRequestResult(HRESULT result) { return Report(result); }

void VKSModule::NotifyParent(const wchar_t* path) {
  CBstr normal;
  if (SUCCEEDED(NormalizePath(path, &normal))) NotifySinksOfChange(GetParentPath(normal));
}

STDMETHODIMP VKSModule::AddChangeNotification(BSTR path, IUnknown* sink, LONG* token) {
  COM_TRY
  return Report(AddNotification(path, sink, token));
  COM_CATCH
}

HRESULT VKSModule::AddNotification(BSTR path, IUnknown* sink, LONG* token) {
  if (!token) return E_POINTER;
  *token = 0;
  if (!sink) return E_POINTER;
  ComPtr<IVKSNotifySink> notify;
  if (FAILED(sink->QueryInterface(IID_IVKSNotifySink, reinterpret_cast<void**>(&notify)))) return E_NOINTERFACE;
  CBstr normal;
  RETURN_IF_FAILED(NormalizePath(path, &normal));
  const CBstr drive = GetDrivePart(normal);
  CBstr longPath = drive, shortPath = drive;
  // The names after the drive part, each looked up as the folder it names.
  const UINT length = normal.GetLength();
  UINT from = drive.GetLength();
  if (from < length && normal.GetAt(from) == L'\\') ++from;
  for (UINT end = from; from < length && end <= length; ++end) {
    if (end < length && normal.GetAt(end) != L'\\') continue;
    CBstr prefix = normal.Mid(0, static_cast<int>(end));
    if (!drive.GetLength()) prefix = ConcatStrings(L"A:", prefix);
    VARIANT rows;
    HRESULT hr = CVKSAccess::GetEntries(prefix.GetBstr(), VARIANT_TRUE, &rows);
    if (hr != S_OK) {
      VariantClear(&rows);
      return hr;
    }
    VARIANT name, shortName;
    VariantInit(&name);
    VariantInit(&shortName);
    LONG index[2] = {0, 0};
    hr = SafeArrayGetElement(rows.parray, index, &name);
    index[1] = 1;
    if (SUCCEEDED(hr)) hr = SafeArrayGetElement(rows.parray, index, &shortName);
    if (SUCCEEDED(hr) && name.vt == VT_BSTR && shortName.vt == VT_BSTR) {
      longPath = ConcatStrings(ConcatStrings(longPath, L"\\"), name.bstrVal);
      shortPath = ConcatStrings(ConcatStrings(shortPath, L"\\"), shortName.bstrVal);
    } else if (SUCCEEDED(hr)) {
      hr = E_UNEXPECTED;
    }
    VariantClear(&name);
    VariantClear(&shortName);
    VariantClear(&rows);
    RETURN_IF_FAILED(hr);
  }
  *token = AddSink(notify.Get(), CBstr(path), MakeLower(longPath), MakeLower(shortPath));
  return S_OK;
}

STDMETHODIMP VKSModule::RemoveChangeNotification(LONG token) {
  COM_TRY
  return Report(RemoveSink(token) ? S_OK : E_INVALIDARG);
  COM_CATCH
}

STDMETHODIMP VKSModule::BroadcastChangeNotification(BSTR path) {
  COM_TRY
  const CBstr text(path);
  if (CompareText(text.GetBstr() ? text.GetBstr() : L"", kInvalidateCache, FALSE) == 0) {
    InvalidateCache();
  } else {
    CBstr normal;
    HRESULT hr = NormalizePath(path, &normal);
    if (FAILED(hr)) return Report(hr);
    if (normal.GetLength() && !IsValidPath(normal, false)) return Report(E_INVALIDARG);
  }
  BroadcastChange(text);
  return S_OK;
  COM_CATCH
}

STDMETHODIMP VKSModule::Copy(BSTR existingpath, BSTR newpath) {
  COM_TRY
  HRESULT hr = CVKSAccess::Copy(existingpath, newpath);
  if (SUCCEEDED(hr)) NotifyParent(newpath);
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::CreateDir(BSTR path) {
  COM_TRY
  HRESULT hr = CVKSAccess::CreateDir(path);
  // Whatever the result: some of the missing parents may have been made.
  CBstr normal;
  if (SUCCEEDED(NormalizePath(path, &normal))) {
    CBstr folder = normal;
    do {
      folder = GetParentPath(folder);
      NotifySinksOfChange(folder);
    } while (folder.GetLength());
  }
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::CreateStdDirs(BSTR volume) {
  COM_TRY
  HRESULT hr = CVKSAccess::CreateStdDirs(volume);
  if (SUCCEEDED(hr)) NotifySinksOfChange(CBstr(volume));
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::Delete(BSTR path) {
  COM_TRY
  HRESULT hr = CVKSAccess::Delete(path);
  if (SUCCEEDED(hr)) NotifyParent(path);
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::Format(BSTR volume) {
  COM_TRY
  HRESULT hr = CVKSAccess::Format(volume);
  if (SUCCEEDED(hr)) NotifyAllSinks();
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::GetCapacity(BSTR volume, LONG* total, LONG* free) {
  COM_TRY
  return Report(CVKSAccess::GetCapacity(volume, total, free));
  COM_CATCH
}

STDMETHODIMP VKSModule::GetEntries(BSTR path, VARIANT_BOOL limittodirectories, VARIANT* entries) {
  COM_TRY
  return Report(CVKSAccess::GetEntries(path, limittodirectories, entries));
  COM_CATCH
}

STDMETHODIMP VKSModule::GetFile(BSTR path, IUnknown** content) {
  COM_TRY
  return Report(CVKSAccess::GetFile(path, content));
  COM_CATCH
}

STDMETHODIMP VKSModule::GetLabel(BSTR volume, BSTR* label) {
  COM_TRY
  return Report(CVKSAccess::GetLabel(volume, label));
  COM_CATCH
}

STDMETHODIMP VKSModule::HasSubDirs(BSTR path, VARIANT_BOOL* subdirs) {
  COM_TRY
  return Report(CVKSAccess::HasSubDirs(path, subdirs));
  COM_CATCH
}

STDMETHODIMP VKSModule::Move(BSTR existingpath, BSTR newpath) {
  COM_TRY
  HRESULT hr = CVKSAccess::Move(existingpath, newpath);
  if (SUCCEEDED(hr)) {
    NotifyParent(existingpath);
    NotifyParent(newpath);
  }
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::MoveDir(BSTR existingpath, BSTR newpath) {
  COM_TRY
  HRESULT hr = CVKSAccess::MoveDir(existingpath, newpath);
  if (SUCCEEDED(hr)) NotifyAllSinks();
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::PutFile(BSTR path, IUnknown* content, LONG attributes) {
  COM_TRY
  HRESULT hr = CVKSAccess::PutFile(path, content, attributes);
  if (SUCCEEDED(hr)) NotifyParent(path);
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::RemoveDir(BSTR path) {
  COM_TRY
  HRESULT hr = CVKSAccess::RemoveDir(path);
  CBstr normal;
  if (SUCCEEDED(hr) && SUCCEEDED(NormalizePath(path, &normal))) {
    NotifySinksOfChange(normal);
    NotifySinksOfChange(GetParentPath(normal));
  }
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::SetAttributes(BSTR path, LONG attributes) {
  COM_TRY
  HRESULT hr = CVKSAccess::SetAttributes(path, attributes);
  if (SUCCEEDED(hr)) NotifyParent(path);
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::SetLabel(BSTR volume, BSTR label) {
  COM_TRY
  return Report(CVKSAccess::SetLabel(volume, label));
  COM_CATCH
}

STDMETHODIMP VKSModule::SetTime(BSTR path, DATE creationtime, DATE lastaccesstime, DATE lastwritetime) {
  COM_TRY
  HRESULT hr = CVKSAccess::SetTime(path, creationtime, lastaccesstime, lastwritetime);
  if (SUCCEEDED(hr)) NotifyParent(path);
  return Report(hr);
  COM_CATCH
}

STDMETHODIMP VKSModule::SelectPort(BSTR bstrPort) {
  COM_TRY
  NotifyAllSinks();
  const CBstr port(bstrPort);
  if (!bstrPort) return Report(E_POINTER);
  return Report(CVKSAccess::SelectPort(port.GetBstr() ? port.GetBstr() : L"", true));
  COM_CATCH
}
