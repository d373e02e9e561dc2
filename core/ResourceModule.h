// core/ResourceModule.h - texts, dialogs and menus of one module in one chosen language.
#pragma once
#include <windows.h>
#include <type_traits>
#include "SuiteString.h"

class CResourceModule {
public:
  explicit CResourceModule(LANGID language);

  void SetModule(HMODULE module) { m_module = module; }
  void SetLanguage(LANGID language) { m_language = language; }
  HMODULE GetModule() const { return m_module; }
  LANGID GetLanguage() const { return m_language; }

  const void* FindResourceData(LPCWSTR type, LPCWSTR id) const;
  DWORD GetResourceSize(LPCWSTR type, LPCWSTR id) const;
  // Empty when the string or its block is missing in the language.
  CBstr LoadResString(UINT id) const;
  // Inserts are %1, %2 ... in the text: wide texts and numbers, in that order.
  template <class... Inserts> CBstr FormatResMessage(UINT id, Inserts... inserts) const {
    const DWORD_PTR args[] = {ToInsert(inserts)..., 0};
    return FormatResMessageArgs(id, args, sizeof...(Inserts));
  }
  CBstr FormatResMessageArgs(UINT id, const DWORD_PTR* inserts, size_t count) const;

  const void* FindDialogTemplate(UINT id) const { return FindResourceData(RT_DIALOG, MAKEINTRESOURCEW(id)); }
  DWORD GetDialogTemplateSize(UINT id) const { return GetResourceSize(RT_DIALOG, MAKEINTRESOURCEW(id)); }
  HMENU LoadMenu(UINT id) const;
  // Icons, accelerators and bitmaps exist once: no language.
  HICON LoadIcon(UINT id) const;
  HACCEL LoadAccelerators(UINT id) const;
  HBITMAP LoadBitmap(UINT id) const;

private:
  static DWORD_PTR ToInsert(const wchar_t* text) { return reinterpret_cast<DWORD_PTR>(text ? text : L""); }
  static DWORD_PTR ToInsert(const CBstr& text) { return ToInsert(text.GetBstr()); }
  template <class N, class = std::enable_if_t<std::is_integral<N>::value>>
  static DWORD_PTR ToInsert(N number) { return static_cast<DWORD_PTR>(number); }

  HMODULE m_module;
  LANGID m_language;
};

// The deliverable's one resource module (the server's own EXE unless chosen
// otherwise); the language is set at start-up from the settings.
extern CResourceModule g_resourceModule;
