// search/SearchPageDialog.h - the three pages of the search window's form:
// name and location, date, additional options. Each shows the window's
// criteria, reads them back, and is greyed while a search runs.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "ModelessDialog.h"
#include "SearchHistory.h"
#include "SearchSettings.h"
#include "SuiteString.h"

class RPLSearchDialog;

class SearchPageDialog : public CModelessDialog {
public:
  explicit SearchPageDialog(RPLSearchDialog* owner) : m_owner(owner) {}
  // A child of the owner's window from the template in the chosen language;
  // E_FAIL without an owner window or template, or when it cannot be made.
  HRESULT Create(UINT templateId);

  virtual void EnableControls() = 0;
  virtual void DisableControls() = 0;
  virtual void ResetControls() = 0;
  virtual void LoadSettings() = 0;
  // This page's part of the criteria, after a repaint.
  virtual void ReadSettings(SearchSettings* criteria) = 0;

protected:
  void EnableItems(const int* ids, int count, BOOL enable) const;
  BOOL ExtendedControls() const;
  const SearchSettings& Criteria() const;
  UINT ReadNumber(int id) const;

  RPLSearchDialog* m_owner;
  BOOL m_initialised = FALSE;
};

class NamePageDialog final : public SearchPageDialog {
public:
  // startFolder: a module path, or null for the root.
  NamePageDialog(RPLSearchDialog* owner, const wchar_t* startFolder);
  ~NamePageDialog() override;

  void EnableControls() override;
  void DisableControls() override;
  void ResetControls() override;
  void LoadSettings() override;
  void ReadSettings(SearchSettings* criteria) override;

  void FillLookIn();
  void SelectLookInPath(const wchar_t* path);
  CBstr GetLookInPath() const;
  void OnBrowse();
  // The look-in item whose path equals path without case, or -1.
  int FindLookInItem(const wchar_t* path) const;

  BEGIN_MSG_MAP(NamePageDialog)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    COMMAND_HANDLER(208, BN_CLICKED, OnBrowseClicked)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnBrowseClicked(WORD, WORD, HWND, BOOL&) {
    OnBrowse();
    return 0;
  }
  void FreeLookInPaths();
  int InsertLookInItem(int position, const CBstr& text, int icon, int indent, const wchar_t* path);

  int m_rightMargin = 0;
  CBstr m_startFolder;
  SearchHistory m_history = {};
};

class DatePageDialog final : public SearchPageDialog {
public:
  explicit DatePageDialog(RPLSearchDialog* owner) : SearchPageDialog(owner) {}

  void EnableControls() override;
  void DisableControls() override;
  void ResetControls() override;
  void LoadSettings() override;
  void ReadSettings(SearchSettings* criteria) override;

  void UpdateRadioState(int id);
  // S_OK with the picker's date; E_FAIL for another id or without the
  // extended controls (date untouched), or for an invalid date (then today,
  // after telling the user).
  HRESULT ReadDate(int id, SYSTEMTIME* date);

  BEGIN_MSG_MAP(DatePageDialog)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    COMMAND_RANGE_HANDLER(14128, 14132, OnRadio)
    NOTIFY_CODE_HANDLER(DTN_USERSTRINGW, OnUserString)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnRadio(WORD code, WORD id, HWND, BOOL& handled);
  LRESULT OnUserString(int id, NMHDR* header, BOOL& handled);
  void ShowDate(int id, const SYSTEMTIME& date);
};

// Sorted by description without case; a second extension of a known
// description joins its pattern as "|*.ext".
void InsertFileType(Ring<FileTypeEntry>* types, const wchar_t* description, const wchar_t* extension);
void FreeFileTypes(Ring<FileTypeEntry>* types);
// Every ".ext" key of classesRoot whose class has a description.
void ReadFileTypes(HKEY classesRoot, Ring<FileTypeEntry>* types);

class AdditionalPageDialog final : public SearchPageDialog {
public:
  explicit AdditionalPageDialog(RPLSearchDialog* owner) : SearchPageDialog(owner) {}
  ~AdditionalPageDialog() override;

  void EnableControls() override;
  void DisableControls() override;
  void ResetControls() override;
  void LoadSettings() override;
  void ReadSettings(SearchSettings* criteria) override;

  void FillTypes();
  // The pattern of the type named so (without case); empty when none is.
  CBstr GetTypePattern(const CBstr& typeName) const;

  BEGIN_MSG_MAP(AdditionalPageDialog)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);

  int m_rightMargin = 0;
  Ring<FileTypeEntry> m_types;
};
