// testing/winsupport/fakes/TestEntries.h - GetEntries results built by the tests themselves.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <array>
#include <vector>

template <class Fill> VARIANT MakeVariant(VARTYPE type, Fill fill) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  fill(v);
  return v;
}
inline VARIANT MakeBstr(const wchar_t* text) {
  return MakeVariant(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = SysAllocString(text); });
}
inline VARIANT MakeI4(LONG value) { return MakeVariant(VT_I4, [&](VARIANT& v) { V_I4(&v) = value; }); }
inline VARIANT MakeR8(double value) { return MakeVariant(VT_R8, [&](VARIANT& v) { V_R8(&v) = value; }); }
inline VARIANT MakeDate(DATE value) { return MakeVariant(VT_DATE, [&](VARIANT& v) { V_DATE(&v) = value; }); }
inline VARIANT MakeEmpty() { return MakeVariant(VT_EMPTY, [](VARIANT&) {}); }

// Rows of seven cells in GetEntriesIndices order; Build lays them out as the
// server does: entries in dimension 1, columns in dimension 2.
class CTestEntries {
public:
  using Row = std::array<VARIANT, 7>;
  ~CTestEntries() {
    for (Row& row : m_rows)
      for (VARIANT& cell : row) VariantClear(&cell);
  }
  // The cells are taken over.
  CTestEntries& Add(const Row& row) {
    m_rows.push_back(row);
    return *this;
  }
  CTestEntries& AddEntry(const wchar_t* name, LONG size, LONG attributes, DATE created = 0,
                         VARIANT lastWrite = MakeEmpty()) {
    return Add({MakeBstr(name), MakeBstr(name), MakeI4(size), MakeI4(attributes), MakeDate(created),
                MakeDate(created), lastWrite});
  }
  // columns < 7 or > 7 makes malformed results.
  VARIANT Build(ULONG columns = 7, LONG lowerBound = 0) const {
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(m_rows.size()), lowerBound}, {columns, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    VARIANT* cells = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&cells));
    const size_t count = m_rows.size();
    for (size_t e = 0; e < count; ++e)
      for (size_t k = 0; k < columns && k < 7; ++k) VariantCopy(&cells[e + k * count], const_cast<VARIANT*>(&m_rows[e][k]));
    SafeArrayUnaccessData(array);
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&result) = array;
    return result;
  }

private:
  std::vector<Row> m_rows;
};
