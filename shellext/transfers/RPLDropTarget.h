// transfers/RPLDropTarget.h - drops of PC files and module items onto a
// module folder: onto a folder's view (into its folder or the folder row
// under the pointer) or onto one module folder item elsewhere in Explorer.
#pragma once
#include <windows.h>
#include <ole2.h>
#include "ComBase.h"
#include "ComCore.h"
#include "ItemIDList.h"
#include "SuiteString.h"
#include "TransferViewSite.h"

// How a real drop is handed to the transfer engine (StartPasteOperation
// unless a test says otherwise): target folder, owner, data object, effect,
// wait flag, reserved 0, done flag.
using DropTransferFn = HRESULT (*)(const wchar_t* target, HWND owner, IDataObject* data, DWORD effect, BOOL wait,
                                   DWORD reserved, DWORD* done);
// Null restores the default. Returns the previous one.
DropTransferFn SetDropTransfer(DropTransferFn transfer);

class RPLDropTarget final : public IDropTarget, public CComObjectBase {
  COM_QI_TABLE(RPLDropTarget, IDropTarget)
public:
  static HRESULT Create(RPLDropTarget** target);

  HRESULT InitForView(const wchar_t* folderPath, ITransferViewSite* view);
  HRESULT InitForItem(const wchar_t* folderPath, LPCITEMIDLIST item, HWND owner);

  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

private:
  RPLDropTarget() = default;
  ~RPLDropTarget() override = default;
  void ComputeDropEffect(DWORD keys, DWORD* effect, POINT point);
  bool MoveCapable() const;
  bool FromThisView() const;   // "RPL SNE View Address" names our view here
  DWORD ChooseFromMenu(DWORD keys, DWORD allowed, POINT point);
  HRESULT EndDrop(DWORD* effect, DWORD result);

  CBstr m_folder;
  ComPtr<IUnknown> m_viewReference;
  ITransferViewSite* m_view = nullptr;
  ComPtr<IDataObject> m_data;
  CItemIDList m_item;
  DWORD m_offered = 0;
  DWORD m_settable = 0;
  HWND m_owner = nullptr;
  DWORD m_lastKeys = 0;
};
