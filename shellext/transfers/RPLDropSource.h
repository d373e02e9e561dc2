// transfers/RPLDropSource.h - the drop source of drags that start in the
// view, and the drag of a selection out of the view.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include "ComBase.h"
#include "ComCore.h"
#include "TransferViewSite.h"
#include "VKSServer.h"

class RPLDropSource final : public IDropSource, public CComObjectBase {
  COM_QI_TABLE(RPLDropSource, IDropSource)
public:
  static HRESULT Create(RPLDropSource** source);
  // button: 1 left, 2 right.
  HRESULT Init(ITransferViewSite* view, DWORD button, IDataObject* data);

  STDMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keys) override;
  STDMETHODIMP GiveFeedback(DWORD effect) override;

private:
  RPLDropSource() = default;
  ~RPLDropSource() override = default;
  ComPtr<IUnknown> m_viewReference;
  ITransferViewSite* m_view = nullptr;
  ComPtr<IDataObject> m_data;
  DWORD m_button = 1;
};

// Drags the items out of the view through the UI seam: a data object made
// with the view and the sink (preferred effect 0), copy and move allowed
// unless the items are the drive list (nothing allowed). A drag that ends in
// a move writes "Performed DropEffect" 2 and then "Paste Succeeded" 2.
HRESULT DragItemsOut(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items, UINT count,
                     DWORD button, bool driveList, IVKSNotifySink* sink, DWORD* effect);
