// testing/winsupport/SimFixture.h - tests against the module simulator: the
// fixture, files seeded into and read from its volume folders, and the data a
// test hands a volume and reads back from it.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComCore.h"
#include "SimControl.h"

namespace vkstest {

// A path below the data folder: L"A\\dir\\x.txt".
std::wstring HostPath(const std::wstring& relative);
void MakeHostDir(const std::wstring& relative);
bool WriteHostFile(const std::wstring& relative, const std::vector<BYTE>& data);
bool ReadHostFile(const std::wstring& relative, std::vector<BYTE>* data);
bool HostExists(const std::wstring& relative);
bool HostIsDir(const std::wstring& relative);

// The rows of a GetEntries result: their count, one cell, a cell's text and
// the names (column 0).
LONG RowCount(const VARIANT& v);
VARIANT Cell(const VARIANT& v, LONG row, LONG column);  // the caller clears it
std::wstring CellText(const VARIANT& v, LONG row, LONG column);
std::vector<std::wstring> Names(const VARIANT& v);

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
ComPtr<IStream> MemoryStream(const std::vector<BYTE>& data);
HRESULT ReadAll(IStream* stream, std::vector<BYTE>* data, ULONG block = 7000);

// Volume folders A.. and the count the module reports.
void UseVolumes(CSimControl& sim, int count);

// Tests that need the simulator; skipped without one. It is reset before
// Base (a fixture) sets up.
template <class Base> class SimTestOf : public Base {
protected:
  void SetUp() override {
    if (!sim.Available()) GTEST_SKIP() << "no simulator (run with VKS_WITH_SIM=1)";
    ASSERT_TRUE(sim.Command("reset"));
    Base::SetUp();
  }
  void UseVolumes(int count) { vkstest::UseVolumes(sim, count); }
  CSimControl sim;
};
using SimTest = SimTestOf<::testing::Test>;

}  // namespace vkstest
