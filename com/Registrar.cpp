// com/Registrar.cpp - parser and executor of the REGISTRY scripts.
#include "Registrar.h"
#include "ComBase.h"
#include <cwctype>
#include <memory>

namespace {

const HRESULT E_SCRIPT_SYNTAX = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

enum class KeyFlag { None, ForceRemove, NoRemove, Delete };

struct Value {
  std::wstring name;      // empty: the key's default value
  wchar_t type = L's';
  std::wstring data;
};

struct Key {
  KeyFlag flag = KeyFlag::None;
  std::wstring name;
  bool hasDefault = false;
  Value defaultValue;
  std::vector<Value> values;
  std::vector<Key> keys;
};

struct Root {
  HKEY root;
  std::vector<Key> keys;
};

struct Token {
  enum Kind { End, Open, Close, Equals, Word, Quoted } kind = End;
  std::wstring text;
};

class CParser {
public:
  explicit CParser(const std::wstring& text) : m_text(text) {}

  HRESULT Parse(std::vector<Root>* roots) {
    for (;;) {
      Token t;
      RETURN_IF_FAILED(Next(&t));
      if (t.kind == Token::End) return S_OK;
      Root root;
      if (t.kind != Token::Word || !RootFromName(t.text, &root.root)) return E_SCRIPT_SYNTAX;
      RETURN_IF_FAILED(Expect(Token::Open));
      RETURN_IF_FAILED(ParseBody(&root.keys, nullptr));
      roots->push_back(std::move(root));
    }
  }

private:
  static bool Is(const std::wstring& word, const wchar_t* text) {
    return CompareStringOrdinal(word.c_str(), -1, text, -1, TRUE) == CSTR_EQUAL;
  }

  static bool RootFromName(const std::wstring& name, HKEY* root) {
    static const struct { const wchar_t* name; HKEY key; } kRoots[] = {
        {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", HKEY_CURRENT_USER}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", HKEY_USERS}, {L"HKEY_USERS", HKEY_USERS}};
    for (const auto& r : kRoots) {
      if (Is(name, r.name)) {
        *root = r.key;
        return true;
      }
    }
    return false;
  }

  HRESULT Next(Token* t) {
    while (m_pos < m_text.size() && std::iswspace(m_text[m_pos])) ++m_pos;
    t->text.clear();
    if (m_pos >= m_text.size()) {
      t->kind = Token::End;
      return S_OK;
    }
    wchar_t c = m_text[m_pos];
    if (c == L'{' || c == L'}' || c == L'=') {
      t->kind = c == L'{' ? Token::Open : c == L'}' ? Token::Close : Token::Equals;
      ++m_pos;
      return S_OK;
    }
    if (c == L'\'') {
      t->kind = Token::Quoted;
      for (++m_pos;; ++m_pos) {
        if (m_pos >= m_text.size()) return E_SCRIPT_SYNTAX;
        if (m_text[m_pos] == L'\'') {
          if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == L'\'') {
            t->text.push_back(L'\'');
            ++m_pos;
            continue;
          }
          ++m_pos;
          return S_OK;
        }
        t->text.push_back(m_text[m_pos]);
      }
    }
    t->kind = Token::Word;
    while (m_pos < m_text.size()) {
      c = m_text[m_pos];
      if (std::iswspace(c) || c == L'{' || c == L'}' || c == L'=' || c == L'\'') break;
      t->text.push_back(c);
      ++m_pos;
    }
    return S_OK;
  }

  HRESULT Peek(Token* t) {
    size_t saved = m_pos;
    HRESULT hr = Next(t);
    m_pos = saved;
    return hr;
  }

  HRESULT Expect(Token::Kind kind) {
    Token t;
    RETURN_IF_FAILED(Next(&t));
    return t.kind == kind ? S_OK : E_SCRIPT_SYNTAX;
  }

  HRESULT ParseName(std::wstring* name) {
    Token t;
    RETURN_IF_FAILED(Next(&t));
    if ((t.kind != Token::Word && t.kind != Token::Quoted) || t.text.empty()) return E_SCRIPT_SYNTAX;
    *name = t.text;
    return S_OK;
  }

  HRESULT ParseTypedData(Value* value) {
    Token type, data;
    RETURN_IF_FAILED(Next(&type));
    RETURN_IF_FAILED(Next(&data));
    if (type.kind != Token::Word || type.text.size() != 1 ||
        (data.kind != Token::Quoted && data.kind != Token::Word))
      return E_SCRIPT_SYNTAX;
    value->type = static_cast<wchar_t>(std::towlower(type.text[0]));
    if (!wcschr(L"sedbm", value->type)) return E_SCRIPT_SYNTAX;
    value->data = data.text;
    return S_OK;
  }

  // After the '{': keys and values up to the matching '}'.
  HRESULT ParseBody(std::vector<Key>* keys, std::vector<Value>* values) {
    for (;;) {
      Token t;
      RETURN_IF_FAILED(Peek(&t));
      if (t.kind == Token::Close) return Next(&t);
      if (t.kind == Token::End) return E_SCRIPT_SYNTAX;
      if (values && t.kind == Token::Word && Is(t.text, L"val")) {
        Next(&t);
        Value value;
        RETURN_IF_FAILED(ParseName(&value.name));
        RETURN_IF_FAILED(Expect(Token::Equals));
        RETURN_IF_FAILED(ParseTypedData(&value));
        values->push_back(std::move(value));
        continue;
      }
      Key key;
      RETURN_IF_FAILED(ParseKey(&key));
      keys->push_back(std::move(key));
    }
  }

  HRESULT ParseKey(Key* key) {
    Token t;
    RETURN_IF_FAILED(Peek(&t));
    if (t.kind == Token::Word) {
      KeyFlag flag = Is(t.text, L"ForceRemove") ? KeyFlag::ForceRemove
                     : Is(t.text, L"NoRemove")  ? KeyFlag::NoRemove
                     : Is(t.text, L"Delete")    ? KeyFlag::Delete
                                                : KeyFlag::None;
      if (flag != KeyFlag::None) {
        key->flag = flag;
        Next(&t);
      }
    }
    RETURN_IF_FAILED(ParseName(&key->name));
    RETURN_IF_FAILED(Peek(&t));
    if (t.kind == Token::Equals) {
      Next(&t);
      key->hasDefault = true;
      RETURN_IF_FAILED(ParseTypedData(&key->defaultValue));
      RETURN_IF_FAILED(Peek(&t));
    }
    if (t.kind == Token::Open) {
      Next(&t);
      RETURN_IF_FAILED(ParseBody(&key->keys, &key->values));
    }
    return S_OK;
  }

  const std::wstring& m_text;
  size_t m_pos = 0;
};

HRESULT SetValue(HKEY key, const Value& value) {
  const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
  switch (value.type) {
    case L's':
    case L'e':
      return HrFromWin32(RegSetValueExW(key, name, 0, value.type == L's' ? REG_SZ : REG_EXPAND_SZ,
                                        reinterpret_cast<const BYTE*>(value.data.c_str()),
                                        static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t))));
    case L'd': {
      wchar_t* end = nullptr;
      DWORD number = wcstoul(value.data.c_str(), &end, 0);
      if (value.data.empty() || *end) return E_SCRIPT_SYNTAX;
      return HrFromWin32(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                        sizeof(number)));
    }
    case L'b': {
      if (value.data.size() % 2) return E_SCRIPT_SYNTAX;
      std::vector<BYTE> bytes;
      for (size_t i = 0; i < value.data.size(); i += 2) {
        wchar_t pair[3] = {value.data[i], value.data[i + 1], 0};
        wchar_t* end = nullptr;
        unsigned long b = wcstoul(pair, &end, 16);
        if (*end || !std::iswxdigit(pair[0])) return E_SCRIPT_SYNTAX;
        bytes.push_back(static_cast<BYTE>(b));
      }
      return HrFromWin32(RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(),
                                        static_cast<DWORD>(bytes.size())));
    }
    default: {  // m: parts split by the two characters \0
      std::wstring multi;
      for (size_t i = 0; i < value.data.size(); ++i) {
        if (value.data[i] == L'\\' && i + 1 < value.data.size() && value.data[i + 1] == L'0') {
          multi.push_back(0);
          ++i;
        } else {
          multi.push_back(value.data[i]);
        }
      }
      multi.push_back(0);
      multi.push_back(0);
      return HrFromWin32(RegSetValueExW(key, name, 0, REG_MULTI_SZ,
                                        reinterpret_cast<const BYTE*>(multi.data()),
                                        static_cast<DWORD>(multi.size() * sizeof(wchar_t))));
    }
  }
}

bool IsMissing(LONG error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

HRESULT DeleteTree(HKEY parent, const std::wstring& name) {
  LONG error = RegDeleteTreeW(parent, name.c_str());
  return IsMissing(error) ? S_OK : HrFromWin32(error);
}

HRESULT ApplyKey(HKEY parent, const Key& key) {
  if (key.flag == KeyFlag::Delete) return DeleteTree(parent, key.name);
  if (key.flag == KeyFlag::ForceRemove) RETURN_IF_FAILED(DeleteTree(parent, key.name));
  HKEY handle = nullptr;
  RETURN_IF_FAILED(HrFromWin32(RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, 0,
                                               KEY_READ | KEY_WRITE, nullptr, &handle, nullptr)));
  HRESULT hr = key.hasDefault ? SetValue(handle, key.defaultValue) : S_OK;
  for (size_t i = 0; SUCCEEDED(hr) && i < key.values.size(); ++i) hr = SetValue(handle, key.values[i]);
  for (size_t i = 0; SUCCEEDED(hr) && i < key.keys.size(); ++i) hr = ApplyKey(handle, key.keys[i]);
  RegCloseKey(handle);
  return hr;
}

// Keeps going after a failure so that as much as possible is removed.
HRESULT RemoveKey(HKEY parent, const Key& key) {
  if (key.flag == KeyFlag::Delete) return S_OK;
  if (key.flag == KeyFlag::ForceRemove) return DeleteTree(parent, key.name);
  HKEY handle = nullptr;
  LONG error = RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE, &handle);
  if (IsMissing(error)) return S_OK;
  RETURN_IF_FAILED(HrFromWin32(error));
  HRESULT first = S_OK;
  auto note = [&first](HRESULT hr) { if (SUCCEEDED(first) && FAILED(hr)) first = hr; };
  for (const Key& child : key.keys) note(RemoveKey(handle, child));
  for (const Value& value : key.values) {
    error = RegDeleteValueW(handle, value.name.c_str());
    if (!IsMissing(error)) note(HrFromWin32(error));
  }
  if (key.flag == KeyFlag::NoRemove) {
    RegCloseKey(handle);
    return first;
  }
  if (key.hasDefault) {
    error = RegDeleteValueW(handle, nullptr);
    if (!IsMissing(error)) note(HrFromWin32(error));
  }
  DWORD subKeys = 0, values = 0;
  error = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  if (error == ERROR_SUCCESS && subKeys == 0 && values == 0) {
    error = RegDeleteKeyW(parent, key.name.c_str());
    if (!IsMissing(error)) note(HrFromWin32(error));
  }
  return first;
}

}  // namespace

void CRegistrar::AddReplacement(const wchar_t* name, const wchar_t* value) {
  m_replacements.emplace_back(name, value);
}

HRESULT CRegistrar::Expand(const wchar_t* script, std::wstring* out) const {
  for (const wchar_t* p = script; *p; ++p) {
    if (*p != L'%') {
      out->push_back(*p);
      continue;
    }
    const wchar_t* end = wcschr(p + 1, L'%');
    if (!end) return E_SCRIPT_SYNTAX;
    std::wstring name(p + 1, end);
    if (name.empty()) {
      out->push_back(L'%');
    } else {
      const std::wstring* value = nullptr;
      for (const auto& r : m_replacements)
        if (CompareStringOrdinal(r.first.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) value = &r.second;
      if (!value) return E_SCRIPT_SYNTAX;
      // Replacements land inside quoted texts: a quote in them must be doubled.
      for (wchar_t c : *value) {
        out->push_back(c);
        if (c == L'\'') out->push_back(c);
      }
    }
    p = end;
  }
  return S_OK;
}

HRESULT CRegistrar::RunScript(const wchar_t* script, bool registering) {
  if (!script) return E_POINTER;
  try {
    std::wstring text;
    RETURN_IF_FAILED(Expand(script, &text));
    std::vector<Root> roots;
    RETURN_IF_FAILED(CParser(text).Parse(&roots));
    HRESULT hr = S_OK;
    for (const Root& root : roots) {
      for (const Key& key : root.keys) {
        HRESULT one = registering ? ApplyKey(root.root, key) : RemoveKey(root.root, key);
        if (SUCCEEDED(hr) && FAILED(one)) hr = one;
        if (registering && FAILED(hr)) break;
      }
      if (registering && FAILED(hr)) break;
    }
    if (registering && FAILED(hr)) {
      // A failed install leaves nothing behind.
      for (const Root& root : roots)
        for (const Key& key : root.keys) RemoveKey(root.root, key);
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CRegistrar::RunResourceScript(HMODULE module, UINT id, bool registering) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  if (!found) return HrFromWin32Bool(FALSE);
  HGLOBAL loaded = LoadResource(module, found);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  DWORD size = SizeofResource(module, found);
  if (!bytes) return HrFromWin32Bool(FALSE);
  if (size >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
    bytes += 3;
    size -= 3;
  }
  try {
    std::wstring text;
    if (size) {
      int length = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
      if (length <= 0) return E_SCRIPT_SYNTAX;
      text.resize(static_cast<size_t>(length));
      MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), &text[0], length);
    }
    return RunScript(text.c_str(), registering);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

std::wstring QuoteModulePath(const wchar_t* path) {
  std::wstring text(path);
  if (text.find(L' ') != std::wstring::npos) text = L"\"" + text + L"\"";
  return text;
}
