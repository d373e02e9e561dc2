// transfers/tests/FakeViewSite.h - a folder view as the transfers see it:
// rows under points, a list style, and what was asked of it.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "TransferViewSite.h"

class CFakeViewSite final : public ITransferViewSite, public IUnknown {
public:
  bool search = false;
  int style = 1;                                 // details
  DWORD scroll = 0;                              // what AutoScroll answers
  std::map<LONG, std::wstring> rowsAtX;          // folder rows by the point's x
  HWND window = nullptr;
  int highlightsCleared = 0;
  int cutMarkResets = 0;
  std::vector<POINT> moves;
  LONG references = 1;

  ULONGLONG ViewIdentity() override { return reinterpret_cast<UINT_PTR>(this); }
  IUnknown* ViewUnknown() override { return this; }
  HWND ViewWindow() override { return window; }
  bool IsSearchView() override { return search; }
  int GetListViewStyle() override { return style; }
  DWORD AutoScroll(POINT) override { return scroll; }
  void ClearDropHighlight() override { ++highlightsCleared; }
  bool HighlightDropTarget(POINT point, CBstr* path) override {
    auto row = rowsAtX.find(point.x);
    if (row == rowsAtX.end()) return false;
    *path = CBstr(row->second.c_str());
    return true;
  }
  void MoveSelectedItems(POINT point) override { moves.push_back(point); }
  void ResetCutMarks() override { ++cutMarkResets; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = IsEqualIID(riid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }
};
