// transfers/RPLPropSheetExt.h - the property pages of module items, module
// drives and the module root, for Explorer's sheets and for our own.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <prsht.h>
#include "ComBase.h"
#include "ItemIDList.h"
#include "SuiteString.h"
#include "VKSServer.h"

class RPLPropSheetExt final : public CComObjectBase, public IShellPropSheetExt, public IShellExtInit {
public:
  COM_QI_TABLE(RPLPropSheetExt, IShellPropSheetExt, IShellExtInit)

  static const int kMaxPages = 10;

  RPLPropSheetExt();

  // IShellPropSheetExt
  STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM param) override;
  STDMETHODIMP ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  // IShellExtInit: Explorer's sheet of the "Module" entry only.
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY key) override;

  // items: new[] array of count one-record lists, taken over in every case.
  // No items: the root for an empty path, else the drive or entry at path.
  HRESULT InitPropertyPages(const wchar_t* path, CItemIDList* items, int count);
  // Counts, size, attributes, location and type of the General page.
  HRESULT FillGeneralData();

  // What the pages show, for the sheet's caption and for tests.
  int ItemCount() const { return m_count; }
  LPCITEMIDLIST Item(int index) const { return m_items[index].Get(); }
  int FileCount() const { return m_fileCount; }
  int FolderCount() const { return m_folderCount; }
  ULONGLONG TotalSize() const { return m_totalSize; }
  ULONG AttributesPresent() const { return m_present; }
  ULONG AttributesAbsent() const { return m_absent; }
  const CBstr& LocationText() const { return m_location; }
  const CBstr& TypeText() const { return m_type; }
  const CBstr& Label(int slot) const { return m_labels[slot]; }
  const wchar_t* ModelText() const { return m_model; }

private:
  enum class Kind { Items, Drives, Root };

  ~RPLPropSheetExt() override;

  static INT_PTR CALLBACK PropertyPageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  static UINT CALLBACK PageLifetime(HWND, UINT message, PROPSHEETPAGEW* sheetPage);

  Kind PageKind() const;
  int DrivePageCount() const;
  HRESULT SumSelectionSizes(const CItemIDList* items, int count);
  HRESULT AddPage(UINT templateId, const wchar_t* title, LPFNSVADDPROPSHEETPAGE addPage, LPARAM param);
  int SlotOfTemplate(const void* copy) const;
  int SlotOfPage(HWND page) const;
  void MarkPage(HWND page, bool changed);
  bool IsMarked(HWND page) const;

  // PropertyPages.cpp
  void InitPropertyPage(HWND page, int slot);
  void InitItemsPage(HWND page);
  void InitDrivePage(HWND page, int slot);
  void InitRootPage(HWND page, int slot);
  LONG_PTR ApplyPropertyPage(HWND page);
  LONG_PTR ApplyItemsPage(HWND page);
  LONG_PTR ApplyDrivePage(HWND page, int slot);
  LONG_PTR ApplyPortPage(HWND page);
  BOOL DrawDrivePageItem(HWND page, const DRAWITEMSTRUCT* item);
  BOOL OnPropertyPageCommand(HWND page, WPARAM wParam);
  CBstr CountsText() const;

  ComPtr<IVKSVolume> m_volume;
  CItemIDList* m_items = nullptr;
  int m_count = 0;
  ULONG m_changedPages = 0;        // bit per template slot
  void* m_templates[kMaxPages] = {};
  HWND m_pages[kMaxPages] = {};    // the page window of each slot, once initialised
  CBstr m_labels[kMaxPages];
  bool m_labelRead[kMaxPages] = {};  // a readable empty label can still be changed
  CBstr m_titles[kMaxPages];       // the pages' tab titles live as long as they do
  wchar_t m_model[32] = {};
  int m_fileCount = 0;
  int m_folderCount = 0;
  ULONGLONG m_totalSize = 0;
  ULONG m_present = 0;
  ULONG m_absent = 0;
  CBstr m_location;
  CBstr m_type;
  bool m_filterAcquired = false;
  bool m_initialising = false;     // texts set by the pages themselves are no user changes
};

// "A:" of a drive item, whether its name is "A:" or "\A:".
CBstr DriveItemName(LPCITEMIDLIST drive);

// A new object with the creator's reference.
HRESULT CreatePropSheetExt(RPLPropSheetExt** object);
