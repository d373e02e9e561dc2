// shell/SavedRegistration.h - the registry the extension's DLL writes, saved
// before a test registers it and put back as it was afterwards.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "RegistryGuard.h"

namespace shelltest {

inline const wchar_t kFolder[] = L"{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}";
inline const wchar_t kMenu[] = L"{0DC4D8C6-653E-42c1-9A1F-8DC8629CB253}";
inline const wchar_t kSheet[] = L"{30D663F5-DCEA-422c-9B0A-98C8876352CF}";
inline const wchar_t kSearch[] = L"{4EEA3158-B33D-4b72-9FC9-40FE99F7A82F}";
inline const std::wstring kClasses = L"Software\\Classes\\";
inline const std::wstring kVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
inline const std::wstring kApproved = kVersion + L"Shell Extensions\\Approved";
inline const std::wstring kStatic = kVersion + L"Explorer\\FindExtensions\\Static\\VKSMFlashSearchHandler";
inline const std::wstring kNameSpace = kVersion + L"Explorer\\MyComputer\\Namespace\\" + kFolder;

// Everything the DLL may write, saved for the holder's lifetime.
class CSavedRegistration {
public:
  CSavedRegistration() {
    HKEY lm = HKEY_LOCAL_MACHINE;
    for (const wchar_t* clsid : {kFolder, kMenu, kSheet, kSearch})
      m_saved.emplace_back(new CRegistryGuard(lm, kClasses + L"CLSID\\" + clsid));
    for (const wchar_t* name : {L".ssc", L"VKS.SearchConfig"})
      m_saved.emplace_back(new CRegistryGuard(lm, kClasses + name));
    m_saved.emplace_back(new CRegistryGuard(lm, kClasses + L"Drive\\shellex\\PropertySheetHandlers\\" + kSheet));
    m_saved.emplace_back(new CRegistryGuard(lm, kNameSpace));
    m_saved.emplace_back(new CRegistryGuard(lm, kApproved));
    m_saved.emplace_back(new CRegistryGuard(lm, kStatic));
    m_saved.emplace_back(new CRegistryGuard(HKEY_CURRENT_USER, kStatic));
  }
  ~CSavedRegistration() {
    while (!m_saved.empty()) m_saved.pop_back();
  }

private:
  std::vector<std::unique_ptr<CRegistryGuard>> m_saved;
};

}  // namespace shelltest
