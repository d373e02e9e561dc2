// core/ResourceModule.cpp - resource loaders in the chosen language.
#include "ResourceModule.h"

namespace {
// FormatMessage cannot be told how many inserts there are: a text asking for
// more than the caller gave reads empty texts instead of stray memory.
constexpr size_t kMaxInserts = 99;
}  // namespace

CResourceModule g_resourceModule(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));

CResourceModule::CResourceModule(LANGID language)
    : m_module(GetModuleHandleW(nullptr)), m_language(language) {}

const void* CResourceModule::FindResourceData(LPCWSTR type, LPCWSTR id) const {
  HRSRC found = FindResourceExW(m_module, type, id, m_language);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(m_module, found);
  return loaded ? LockResource(loaded) : nullptr;
}

DWORD CResourceModule::GetResourceSize(LPCWSTR type, LPCWSTR id) const {
  HRSRC found = FindResourceExW(m_module, type, id, m_language);
  return found ? SizeofResource(m_module, found) : 0;
}

CBstr CResourceModule::LoadResString(UINT id) const {
  LPCWSTR block = MAKEINTRESOURCEW((id >> 4) + 1);
  const WCHAR* data = static_cast<const WCHAR*>(FindResourceData(RT_STRING, block));
  if (!data) return CBstr();
  // 16 counted strings; the walk stays inside the block even when it is damaged.
  DWORD units = GetResourceSize(RT_STRING, block) / sizeof(WCHAR);
  DWORD pos = 0;
  for (UINT skip = id & 15; skip > 0; --skip) {
    if (pos >= units) return CBstr();
    pos += 1 + data[pos];
  }
  if (pos >= units) return CBstr();
  DWORD length = data[pos];
  if (length == 0 || length > units - pos - 1) return CBstr();
  return CBstr(data + pos + 1, length);
}

CBstr CResourceModule::FormatResMessageArgs(UINT id, const DWORD_PTR* inserts, size_t count) const {
  CBstr text = LoadResString(id);
  if (text.GetLength() == 0) return text;
  DWORD_PTR args[kMaxInserts];
  for (size_t i = 0; i < kMaxInserts; ++i)
    args[i] = i < count ? inserts[i] : reinterpret_cast<DWORD_PTR>(L"");
  wchar_t* formatted = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                    FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                text.GetBstr(), 0, 0, reinterpret_cast<LPWSTR>(&formatted), 0,
                                reinterpret_cast<va_list*>(args));
  CBstr result;
  if (length && formatted) result = CBstr(formatted, length);
  if (formatted) LocalFree(formatted);
  return result;
}

HMENU CResourceModule::LoadMenu(UINT id) const {
  const void* menu = FindResourceData(RT_MENU, MAKEINTRESOURCEW(id));
  return menu ? LoadMenuIndirectW(menu) : nullptr;
}

HICON CResourceModule::LoadIcon(UINT id) const {
  return static_cast<HICON>(LoadImageW(m_module, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                       GetSystemMetrics(SM_CYICON), 0));
}

HACCEL CResourceModule::LoadAccelerators(UINT id) const {
  return ::LoadAcceleratorsW(m_module, MAKEINTRESOURCEW(id));
}

HBITMAP CResourceModule::LoadBitmap(UINT id) const { return ::LoadBitmapW(m_module, MAKEINTRESOURCEW(id)); }
