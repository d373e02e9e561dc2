// transfers/TransferViewSite.h - what the data object, the drop target and the
// drop source need of the folder view they work for. The view implements it;
// tests give a small fake.
#pragma once
#include <windows.h>
#include "SuiteString.h"

struct ITransferViewSite {
  // The view's identity in "RPL SNE View Address" (its object's address).
  virtual ULONGLONG ViewIdentity() = 0;
  // The view's COM identity; not AddRef'd. Holders keep a reference to it.
  virtual IUnknown* ViewUnknown() = 0;
  virtual HWND ViewWindow() = 0;
  virtual bool IsSearchView() = 0;
  // The list view's style: 0 icons, 1 details, 2 small icons, 3 list.
  virtual int GetListViewStyle() = 0;
  // DROPEFFECT_SCROLL while the point makes the view scroll, else 0.
  virtual DWORD AutoScroll(POINT screenPoint) = 0;
  virtual void ClearDropHighlight() = 0;
  // Highlights the folder or drive row under the point; false when there is
  // none, else its stored module path.
  virtual bool HighlightDropTarget(POINT screenPoint, CBstr* path) = 0;
  // Rearranges the selected icons to the drop point.
  virtual void MoveSelectedItems(POINT screenPoint) = 0;
  // Called from any thread (the clipboard's owner thread too): only posts to
  // the view's own thread, which clears the rows' cut marks.
  virtual void ResetCutMarks() = 0;

protected:
  ~ITransferViewSite() = default;
};

inline ULONGLONG ViewSiteAddress(const ITransferViewSite* site) {
  return site ? const_cast<ITransferViewSite*>(site)->ViewIdentity() : 0;
}
