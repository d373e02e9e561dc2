// Fixtures for tests against the module simulator: files seeded into and read
// from its volume folders, and a registered VKSServer on the simulator's port.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../process/ServerFixture.h"
#include "ComBase.h"
#include "ErrorInfoChannel.h"
#include "SimControl.h"
#include "VKSServer.h"

namespace simtest {

using vkstest::CSimControl;

const wchar_t kSuiteKey[] = L"Software\\Halvorten\\Tarvaq Suite";

inline std::vector<BYTE> Pattern(size_t size, unsigned seed = 1) {
  std::vector<BYTE> data(size);
  unsigned x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345;
    data[i] = static_cast<BYTE>(x >> 16);
  }
  return data;
}

// A path below the data folder: L"A\\dir\\x.txt".
inline std::wstring HostPath(const std::wstring& relative) { return CSimControl::DataDirW() + L"\\" + relative; }

inline void MakeHostDir(const std::wstring& relative) {
  std::wstring path = HostPath(relative);
  for (size_t i = CSimControl::DataDirW().size() + 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

inline bool WriteHostFile(const std::wstring& relative, const std::vector<BYTE>& data) {
  const size_t slash = relative.find_last_of(L'\\');
  if (slash != std::wstring::npos) MakeHostDir(relative.substr(0, slash));
  HANDLE f = CreateFileW(HostPath(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = data.empty() || WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == data.size();
}

inline bool ReadHostFile(const std::wstring& relative, std::vector<BYTE>* data) {
  data->clear();
  HANDLE f = CreateFileW(HostPath(relative).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  BYTE block[65536];
  DWORD got = 0;
  while (ReadFile(f, block, sizeof block, &got, nullptr) && got) data->insert(data->end(), block, block + got);
  CloseHandle(f);
  return true;
}

inline bool HostExists(const std::wstring& relative) {
  return GetFileAttributesW(HostPath(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}
inline bool HostIsDir(const std::wstring& relative) {
  const DWORD a = GetFileAttributesW(HostPath(relative).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The rows of a GetEntries result: name and the cells of one column.
inline LONG RowCount(const VARIANT& v) {
  if (v.vt != (VT_ARRAY | VT_VARIANT)) return -1;
  LONG upper = -1;
  SafeArrayGetUBound(v.parray, 1, &upper);
  return upper + 1;
}
inline VARIANT Cell(const VARIANT& v, LONG row, LONG column) {
  VARIANT cell;
  VariantInit(&cell);
  LONG index[2] = {row, column};
  SafeArrayGetElement(v.parray, index, &cell);
  return cell;
}
inline std::wstring CellText(const VARIANT& v, LONG row, LONG column) {
  VARIANT cell = Cell(v, row, column);
  std::wstring text = cell.vt == VT_BSTR && cell.bstrVal ? cell.bstrVal : L"";
  VariantClear(&cell);
  return text;
}
inline std::vector<std::wstring> Names(const VARIANT& v) {
  std::vector<std::wstring> names;
  for (LONG i = 0; i < RowCount(v); ++i) names.push_back(CellText(v, i, 0));
  return names;
}

// An owned BSTR for a call.
class Text {
public:
  Text(const wchar_t* text) : m_text(text ? SysAllocString(text) : nullptr) {}
  ~Text() { SysFreeString(m_text); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  operator BSTR() const { return m_text; }

private:
  BSTR m_text;
};

// A memory stream with data, as a tool would hand PutFile a file.
inline ComPtr<IStream> MemoryStream(const std::vector<BYTE>& data) {
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return stream;
  ULONG written = 0;
  if (!data.empty()) stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

inline HRESULT ReadAll(IStream* stream, std::vector<BYTE>* data, ULONG block = 7000) {
  data->clear();
  std::vector<BYTE> buffer(block);
  for (;;) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer.data(), block, &got);
    if (FAILED(hr)) return hr;
    if (!got) return S_OK;
    data->insert(data->end(), buffer.begin(), buffer.begin() + got);
  }
}

// Puts "Port" of the suite back as it was.
class CSavedPort {
public:
  CSavedPort() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSuiteKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    m_present = RegQueryValueExW(key, L"Port", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS;
    m_value = value;
    RegCloseKey(key);
  }
  ~CSavedPort() {
    if (m_present)
      Write(m_value);
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kSuiteKey, L"Port");
  }
  static bool Write(const std::wstring& port) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, kSuiteKey, L"Port", REG_SZ, port.c_str(),
                           static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

private:
  bool m_present = false;
  std::wstring m_value;
};

// Base of the tests that only need the simulator.
class SimTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!sim.Available()) GTEST_SKIP() << "no simulator (run with VKS_WITH_SIM=1)";
    ASSERT_TRUE(sim.Command("reset"));
  }
  // volumes folders A.. and the count the module reports.
  void UseVolumes(int count) {
    for (int i = 0; i < count; ++i) MakeHostDir(std::wstring(1, static_cast<wchar_t>(L'A' + i)));
    ASSERT_TRUE(sim.Command("obex volumes " + std::to_string(count)));
  }
  CSimControl sim;
};

// A registered VKSServer whose "Port" is the simulator's; the module has two
// volumes. Nothing of the server is left running afterwards.
class ServerSimTest : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    if (IsSkipped()) return;
    UseVolumes(2);
    ASSERT_TRUE(WaitForNoServer(15000)) << "a server from an earlier test is still running";
    ASSERT_TRUE(CSavedPort::Write(CSimControl::TestPortW()));
    ASSERT_EQ(0, RunServerExe(L"/RegServer"));
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    m_comReady = true;
    ASSERT_EQ(S_OK, InstallErrorInfoChannel());
    volume.Attach(Create<IVKSVolume>(CLSID_VKSModule).Detach());
    ASSERT_TRUE(volume);
  }
  void TearDown() override {
    if (!m_comReady) return;
    volume.Reset();
    ReleaseAll();
    {
      ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
      if (general) {
        EXPECT_EQ(S_OK, general->Shutdown(10000));
      }
    }
    CoUninitialize();
    EXPECT_TRUE(WaitForNoServer(20000));
    EXPECT_EQ(0, RunServerExe(L"/UnregServer"));
  }
  // Tests drop their own references here before the shutdown.
  virtual void ReleaseAll() {}

  HRESULT Put(const wchar_t* path, const std::vector<BYTE>& data, LONG attributes = 0) {
    ComPtr<IStream> stream = MemoryStream(data);
    return volume->PutFile(Text(path), stream.Get(), attributes);
  }
  HRESULT Get(const wchar_t* path, std::vector<BYTE>* data) {
    ComPtr<IUnknown> content;
    HRESULT hr = volume->GetFile(Text(path), &content);
    if (FAILED(hr)) return hr;
    ComPtr<IStream> stream;
    hr = content.As(&stream);
    if (FAILED(hr)) return hr;
    return ReadAll(stream.Get(), data);
  }
  HRESULT List(const wchar_t* path, std::vector<std::wstring>* names, VARIANT_BOOL dirsOnly = VARIANT_FALSE) {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = volume->GetEntries(Text(path), dirsOnly, &v);
    if (names) *names = Names(v);
    VariantClear(&v);
    return hr;
  }

  ComPtr<IVKSVolume> volume;

private:
  CSavedPort m_savedPort;
  bool m_comReady = false;
};

}  // namespace simtest
