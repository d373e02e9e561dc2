// namespace/RPLIcon.h - a module item's icons and info tip, and the change
// sink through which the server and the delete operation reach a view.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "ComBase.h"
#include "ShellUuids.h"
#include "ItemIDList.h"
#include "ModuleViewCallback.h"
#include "VKSServer.h"

class RPLIcon final : public IExtractIconW, public IExtractIconA, public CComObjectBase {
public:
  COM_QI_TABLE(RPLIcon, IExtractIconW, IExtractIconA)
  HRESULT Init(LPCITEMIDLIST list);

  STDMETHODIMP GetIconLocation(UINT flags, LPWSTR file, UINT size, int* index, UINT* outFlags) override;
  STDMETHODIMP Extract(LPCWSTR file, UINT index, HICON* large, HICON* small, UINT iconSize) override;
  // The narrow pair ignores its text.
  STDMETHODIMP GetIconLocation(UINT flags, LPSTR file, UINT size, int* index, UINT* outFlags) override;
  STDMETHODIMP Extract(LPCSTR file, UINT index, HICON* large, HICON* small, UINT iconSize) override;

private:
  ~RPLIcon() override = default;
  CItemIDList m_list;   // the last record is the item
};

class RPLQueryInfo final : public IQueryInfo, public CComObjectBase {
public:
  COM_QI_TABLE(RPLQueryInfo, IQueryInfo)
  HRESULT Init(LPCITEMIDLIST list);

  STDMETHODIMP GetInfoTip(DWORD flags, LPWSTR* text) override;
  STDMETHODIMP GetInfoFlags(DWORD* flags) override;

private:
  ~RPLQueryInfo() override = default;
  CItemIDList m_list;   // the first record is the item
};

class RPLNotifySink final : public IVKSNotifySink, public CComObjectBase {
public:
  COM_QI_TABLE(RPLNotifySink, IVKSNotifySink)
  // The view is held without a reference: it unregisters the sink before it goes.
  HRESULT Init(IModuleViewCallback* view, bool searchResults);
  void Detach() { m_view = nullptr; }

  STDMETHODIMP OnChange(BSTR path) override;

private:
  ~RPLNotifySink() override = default;
  IModuleViewCallback* m_view = nullptr;
  bool m_searchResults = false;
};

// New initialised objects; an empty list gives E_INVALIDARG.
HRESULT CreateRPLIcon(LPCITEMIDLIST list, REFIID riid, void** ppv);
HRESULT CreateRPLQueryInfo(LPCITEMIDLIST list, REFIID riid, void** ppv);
HRESULT CreateRPLNotifySink(IModuleViewCallback* view, bool searchResults, REFIID riid, void** ppv);
