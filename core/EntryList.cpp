// core/EntryList.cpp - the GetEntries array reader.
#include "EntryList.h"
#include "ErrorText.h"
#include "FolderEntry.h"
#include "SuiteString.h"
#include <cmath>

namespace {
const LONG kColumns = geLastWriteTime + 1;
}

HRESULT CEntryList::Attach(VARIANT* result) {
  Clear();
  if (!result) return E_POINTER;
  if (V_VT(result) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(result)) return DISP_E_TYPEMISMATCH;
  SAFEARRAY* array = V_ARRAY(result);
  V_VT(result) = VT_EMPTY;
  V_ARRAY(result) = nullptr;
  LONG low1 = 0, high1 = -1, low2 = 0, high2 = -1;
  HRESULT hr = DISP_E_BADINDEX;
  // The cells are read as VARIANTs, so the elements must be that big.
  if (SafeArrayGetDim(array) == 2 && SafeArrayGetElemsize(array) == sizeof(VARIANT) && SUCCEEDED(SafeArrayGetLBound(array, 1, &low1)) &&
      SUCCEEDED(SafeArrayGetUBound(array, 1, &high1)) && SUCCEEDED(SafeArrayGetLBound(array, 2, &low2)) &&
      SUCCEEDED(SafeArrayGetUBound(array, 2, &high2)) && high2 - low2 + 1 >= kColumns &&
      high1 - low1 + 1 >= 0) {
    void* data = nullptr;
    hr = SafeArrayAccessData(array, &data);
    if (SUCCEEDED(hr)) {
      m_array = array;
      m_cells = static_cast<const VARIANT*>(data);
      m_count = high1 - low1 + 1;
      return hr;
    }
  }
  SafeArrayDestroy(array);
  return hr;
}

void CEntryList::Clear() {
  if (m_array) {
    SafeArrayUnaccessData(m_array);
    SafeArrayDestroy(m_array);
  }
  m_array = nullptr;
  m_cells = nullptr;
  m_count = 0;
}

const VARIANT* CEntryList::GetCell(LONG entry, GetEntriesIndices column) const {
  if (!m_cells || entry < 0 || entry >= m_count || column < 0 || column >= kColumns) return nullptr;
  return &m_cells[entry + static_cast<LONG>(column) * m_count];
}

bool CEntryList::IsInt(LONG entry, GetEntriesIndices column) const {
  const VARIANT* cell = GetCell(entry, column);
  return cell && V_VT(cell) == VT_I4;
}

LONG CEntryList::GetInt(LONG entry, GetEntriesIndices column) const {
  return IsInt(entry, column) ? V_I4(GetCell(entry, column)) : 0;
}

bool CEntryList::IsEntry(LONG entry) const { return IsInt(entry, geAttributes); }

bool CEntryList::IsDirectory(LONG entry) const {
  return IsEntry(entry) && (GetInt(entry, geAttributes) & kFolderAttribute) != 0;
}

const wchar_t* CEntryList::GetName(LONG entry) const {
  const VARIANT* cell = GetCell(entry, geName);
  if (!cell || V_VT(cell) != VT_BSTR) return nullptr;
  return V_BSTR(cell) ? V_BSTR(cell) : L"";
}

DATE CEntryList::GetDate(LONG entry, GetEntriesIndices column) const {
  const VARIANT* cell = GetCell(entry, column);
  return cell && V_VT(cell) == VT_DATE ? V_DATE(cell) : 0;
}

double CEntryList::GetNumber(LONG entry, GetEntriesIndices column) const {
  const VARIANT* cell = GetCell(entry, column);
  if (!cell) return 0;
  switch (V_VT(cell)) {
    case VT_R8: return V_R8(cell);
    case VT_DATE: return V_DATE(cell);
    case VT_R4: return V_R4(cell);
    case VT_I4: return V_I4(cell);
    default: return 0;
  }
}

LONGLONG CEntryList::GetWholeNumber(LONG entry, GetEntriesIndices column) const {
  double value = std::trunc(GetNumber(entry, column));
  // Converting a double outside the 64-bit range is undefined; NaN gives 0.
  if (!(value == value)) return 0;
  if (value >= 9223372036854775807.0) return 9223372036854775807LL;
  if (value <= -9223372036854775808.0) return -9223372036854775807LL - 1;
  return static_cast<LONGLONG>(value);
}

LONGLONG CEntryList::SumFileSizes(LONG* fileCount) const {
  LONGLONG total = 0;
  LONG files = 0;
  for (LONG e = 0; e < m_count; ++e) {
    if (!IsEntry(e) || IsDirectory(e)) continue;
    ++files;
    total += GetInt(e, geSize);
  }
  if (fileCount) *fileCount = files;
  return total;
}

HRESULT ReadEntries(IVKSVolume* volume, const wchar_t* path, bool directoriesOnly, CEntryList* list,
                    bool* noArray) {
  if (noArray) *noArray = false;
  if (!list) return E_POINTER;
  list->Clear();
  if (!volume) return E_POINTER;
  CBstr serverPath(path);
  VARIANT result;
  VariantInit(&result);
  ClearErrorInfo();
  HRESULT hr = volume->GetEntries(serverPath.GetBstr(), directoriesOnly ? VARIANT_TRUE : VARIANT_FALSE, &result);
  if (SUCCEEDED(hr) && noArray) *noArray = V_VT(&result) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&result);
  // The call's own success code stays: S_FALSE tells an empty folder.
  if (SUCCEEDED(hr)) {
    const HRESULT attached = list->Attach(&result);
    if (FAILED(attached)) hr = attached;
  }
  VariantClear(&result);
  return hr;
}
