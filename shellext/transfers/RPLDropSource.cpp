// transfers/RPLDropSource.cpp - when a drag from the view drops or stops.
#include "RPLDropSource.h"
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "RPLDataObject.h"
#include "Seams.h"

HRESULT RPLDropSource::Create(RPLDropSource** source) {
  if (!source) return E_POINTER;
  *source = new (std::nothrow) RPLDropSource();
  return *source ? S_OK : E_OUTOFMEMORY;
}

HRESULT RPLDropSource::Init(ITransferViewSite* view, DWORD button, IDataObject* data) {
  if (!view || !data) return E_POINTER;
  m_view = view;
  m_viewReference = view->ViewUnknown();
  m_data = data;
  m_button = button;
  return S_OK;
}

STDMETHODIMP RPLDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keys) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  if ((m_button == 1 && !(keys & MK_LBUTTON)) || (m_button == 2 && !(keys & MK_RBUTTON))) {
    SetDataObjectDword(m_data.Get(), ClipboardFormats().converted, 1);
    return DRAGDROP_S_DROP;
  }
  return S_OK;
}

STDMETHODIMP RPLDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

HRESULT DragItemsOut(const wchar_t* folderPath, ITransferViewSite* view, const LPCITEMIDLIST* items, UINT count,
                     DWORD button, bool driveList, IVKSNotifySink* sink, DWORD* effect) {
  if (!effect) return E_POINTER;
  *effect = DROPEFFECT_NONE;
  ComPtr<IDataObject> data;
  RETURN_IF_FAILED(CreateDataObject(folderPath, view, items, count, 0, sink, false, &data));
  ComPtr<RPLDropSource> source;
  RETURN_IF_FAILED(RPLDropSource::Create(&source));
  RETURN_IF_FAILED(source->Init(view, button, data.Get()));
  const ClipboardFormatIds& ids = ClipboardFormats();
  DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  if (driveList) {
    allowed = DROPEFFECT_NONE;
    SetDataObjectDword(data.Get(), ids.preferredDropEffect, 0);
  }
  const HRESULT hr = ShellUi().RunDragDrop(data.Get(), source.Get(), allowed, effect);
  if (hr == DRAGDROP_S_DROP && *effect == DROPEFFECT_MOVE) {
    SetDataObjectDword(data.Get(), ids.performedDropEffect, DROPEFFECT_MOVE);
    SetDataObjectDword(data.Get(), ids.pasteSucceeded, DROPEFFECT_MOVE);
  }
  return hr;
}
