// testing/winsupport/SimFixture.cpp - files and data of the simulator's tests.
#include "SimFixture.h"

namespace vkstest {

std::wstring HostPath(const std::wstring& relative) { return CSimControl::DataDirW() + L"\\" + relative; }

void MakeHostDir(const std::wstring& relative) {
  std::wstring path = HostPath(relative);
  for (size_t i = CSimControl::DataDirW().size() + 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

bool WriteHostFile(const std::wstring& relative, const std::vector<BYTE>& data) {
  const size_t slash = relative.find_last_of(L'\\');
  if (slash != std::wstring::npos) MakeHostDir(relative.substr(0, slash));
  HANDLE f = CreateFileW(HostPath(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = data.empty() || WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == data.size();
}

bool ReadHostFile(const std::wstring& relative, std::vector<BYTE>* data) {
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

bool HostExists(const std::wstring& relative) {
  return GetFileAttributesW(HostPath(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool HostIsDir(const std::wstring& relative) {
  const DWORD a = GetFileAttributesW(HostPath(relative).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

LONG RowCount(const VARIANT& v) {
  if (v.vt != (VT_ARRAY | VT_VARIANT)) return -1;
  LONG upper = -1;
  SafeArrayGetUBound(v.parray, 1, &upper);
  return upper + 1;
}

VARIANT Cell(const VARIANT& v, LONG row, LONG column) {
  VARIANT cell;
  VariantInit(&cell);
  LONG index[2] = {row, column};
  SafeArrayGetElement(v.parray, index, &cell);
  return cell;
}

std::wstring CellText(const VARIANT& v, LONG row, LONG column) {
  VARIANT cell = Cell(v, row, column);
  std::wstring text = cell.vt == VT_BSTR && cell.bstrVal ? cell.bstrVal : L"";
  VariantClear(&cell);
  return text;
}

std::vector<std::wstring> Names(const VARIANT& v) {
  std::vector<std::wstring> names;
  for (LONG i = 0; i < RowCount(v); ++i) names.push_back(CellText(v, i, 0));
  return names;
}

ComPtr<IStream> MemoryStream(const std::vector<BYTE>& data) {
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return stream;
  ULONG written = 0;
  if (!data.empty()) stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

HRESULT ReadAll(IStream* stream, std::vector<BYTE>* data, ULONG block) {
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

void UseVolumes(CSimControl& sim, int count) {
  for (int i = 0; i < count; ++i) MakeHostDir(std::wstring(1, static_cast<wchar_t>(L'A' + i)));
  ASSERT_TRUE(sim.Command("obex volumes " + std::to_string(count)));
}

}  // namespace vkstest
