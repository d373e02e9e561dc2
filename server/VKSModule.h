// server/VKSModule.h - the one object behind IVKSVolume, shared by every client.
#pragma once
#include "ComDispatch.h"
#include "VKSAccess.h"
#include "VKSServer.h"

class VKSModule final : public CDispatchImpl<IVKSVolume>,
                        public CSupportErrorInfoImpl<&IID_IVKSVolume>,
                        public CComObjectBase,
                        public CVKSAccess {
  COM_QI_TABLE(VKSModule, IVKSVolume, NComKit::QIAs<IDispatch, IVKSVolume>, ISupportErrorInfo)

public:
  VKSModule();
  static HRESULT Create(REFIID riid, void** ppv);
  HRESULT FinalConstruct();

  STDMETHODIMP AddChangeNotification(BSTR path, IUnknown* sink, LONG* token) override;
  STDMETHODIMP BroadcastChangeNotification(BSTR path) override;
  STDMETHODIMP Copy(BSTR existingpath, BSTR newpath) override;
  STDMETHODIMP CreateDir(BSTR path) override;
  STDMETHODIMP CreateStdDirs(BSTR volume) override;
  STDMETHODIMP Delete(BSTR path) override;
  STDMETHODIMP Format(BSTR volume) override;
  STDMETHODIMP GetCapacity(BSTR volume, LONG* total, LONG* free) override;
  STDMETHODIMP GetEntries(BSTR path, VARIANT_BOOL limittodirectories, VARIANT* entries) override;
  STDMETHODIMP GetFile(BSTR path, IUnknown** content) override;
  STDMETHODIMP GetLabel(BSTR volume, BSTR* label) override;
  STDMETHODIMP HasSubDirs(BSTR path, VARIANT_BOOL* subdirs) override;
  STDMETHODIMP Move(BSTR existingpath, BSTR newpath) override;
  STDMETHODIMP MoveDir(BSTR existingpath, BSTR newpath) override;
  STDMETHODIMP PutFile(BSTR path, IUnknown* content, LONG attributes) override;
  STDMETHODIMP RemoveChangeNotification(LONG token) override;
  STDMETHODIMP RemoveDir(BSTR path) override;
  STDMETHODIMP SetAttributes(BSTR path, LONG attributes) override;
  STDMETHODIMP SetLabel(BSTR volume, BSTR label) override;
  STDMETHODIMP SetTime(BSTR path, DATE creationtime, DATE lastaccesstime, DATE lastwritetime) override;
  STDMETHODIMP SelectPort(BSTR bstrPort) override;

  // The request layer's reporter: a finished request's failure as this
  // class's error information, a cancel as the system's "cancelled".
  static HRESULT ReportRequestResult(HRESULT result);

private:
  ~VKSModule() override = default;
  static HRESULT Report(HRESULT hr);
  // The sinks of the parent folder of path, normalised.
  void NotifyParent(const wchar_t* path);
  HRESULT AddNotification(BSTR path, IUnknown* sink, LONG* token);
};
