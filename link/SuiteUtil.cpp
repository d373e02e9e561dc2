// link/SuiteUtil.cpp - times, CRC-16, folder entry chains, receive buffer.
#include "SuiteUtil.h"

#include <objbase.h>

#include <array>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// 100-ns units from 1601-01-01 (FILETIME) to 1899-12-30 (OLE DATE 0).
constexpr LONGLONG kDateBase = 94353120000000000LL;
constexpr LONGLONG kTicksPerMs = 10000;
constexpr double kMsPerDay = 86400000.0;

ULONGLONG ToUInt64(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FromUInt64(ULONGLONG value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

// Reflected CCITT polynomial 0x8408: 0x0000, 0x1189, 0x2312, 0x329B, ...
constexpr std::array<WORD, 256> MakeCrcTable() {
  std::array<WORD, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
    table[i] = static_cast<WORD>(crc);
  }
  return table;
}
constexpr std::array<WORD, 256> kCrcTable = MakeCrcTable();

// CoTaskMem copy of a NUL-terminated text; null when out of memory.
wchar_t* TaskCopy(const wchar_t* text) {
  if (!text) text = L"";
  const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (copy) memcpy(copy, text, bytes);
  return copy;
}

FolderEntry* NewBlankEntry() {
  auto* entry = static_cast<FolderEntry*>(CoTaskMemAlloc(sizeof(FolderEntry)));
  if (entry) memset(entry, 0, sizeof(FolderEntry));
  return entry;
}

}  // namespace

BOOL DateToFileTime(DATE date, FILETIME* fileTime) {
  if (!fileTime) return FALSE;
  if (date == 0) {
    *fileTime = FromUInt64(0);
    return TRUE;
  }
  // Refuse what no FILETIME can hold (before 1601, far future, NaN) instead of
  // letting the rounding overflow.
  const double ms = date * kMsPerDay;
  const double lowest = -static_cast<double>(kDateBase / kTicksPerMs);
  const double highest = static_cast<double>((0x7FFFFFFFFFFFFFFFLL - kDateBase) / kTicksPerMs);
  if (!(ms >= lowest && ms <= highest)) return FALSE;
  const LONGLONG local = std::llround(ms) * kTicksPerMs + kDateBase;  // half away from zero
  const FILETIME localTime = FromUInt64(static_cast<ULONGLONG>(local));
  return LocalFileTimeToFileTime(&localTime, fileTime);
}

BOOL FileTimeToDate(const FILETIME& fileTime, DATE* date) {
  if (!date) return FALSE;
  if (ToUInt64(fileTime) == 0) {
    *date = 0;
    return TRUE;
  }
  FILETIME localTime;
  if (!FileTimeToLocalFileTime(&fileTime, &localTime)) return FALSE;
  const LONGLONG ms = (static_cast<LONGLONG>(ToUInt64(localTime)) - kDateBase) / kTicksPerMs;
  *date = static_cast<double>(ms) / kMsPerDay;
  return TRUE;
}

BOOL DateToSystemTime(DATE date, SYSTEMTIME* systemTime) {
  if (!systemTime) return FALSE;
  if (date == 0) {
    memset(systemTime, 0, sizeof(*systemTime));
    return TRUE;
  }
  FILETIME utc, local;
  return DateToFileTime(date, &utc) && FileTimeToLocalFileTime(&utc, &local) &&
         FileTimeToSystemTime(&local, systemTime);
}

BOOL SystemTimeToDate(const SYSTEMTIME& systemTime, DATE* date) {
  FILETIME local, utc;
  return SystemTimeToFileTime(&systemTime, &local) && LocalFileTimeToFileTime(&local, &utc) &&
         FileTimeToDate(utc, date);
}

DATE CurrentLocalDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  DATE date = 0;
  return SystemTimeToDate(now, &date) ? date : 0;
}

WORD Crc16Update(const BYTE* data, DWORD length, WORD seed) {
  WORD crc = static_cast<WORD>(~seed);
  for (DWORD i = 0; i < length; ++i)
    crc = static_cast<WORD>(kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return static_cast<WORD>(~crc);
}

FolderEntry* NewFolderEntry(const wchar_t* name, DWORD size, DWORD attributes, DATE created,
                            DATE accessed, DATE lastWrite) {
  FolderEntry* entry = NewBlankEntry();
  if (!entry) return nullptr;
  entry->name = TaskCopy(name);
  entry->shortName = TaskCopy(name);
  if (!entry->name || !entry->shortName) {
    FreeEntryList(entry);
    return nullptr;
  }
  entry->size = size;
  entry->attributes = attributes;
  // A write time is made up only when the caller gave some other time.
  const bool someTimeGiven = created != 0 || accessed != 0;
  entry->created = created != 0 ? created : CurrentLocalDate();
  entry->accessed = accessed != 0 ? accessed : CurrentLocalDate();
  entry->modified = (lastWrite == 0 && someTimeGiven) ? CurrentLocalDate() : lastWrite;
  return entry;
}

HRESULT CopyFolderEntries(const FolderEntry* source, FolderEntry** head) {
  if (!head) return E_POINTER;
  *head = nullptr;
  FolderEntry** link = head;
  for (const FolderEntry* from = source; from; from = from->next) {
    FolderEntry* entry = NewBlankEntry();
    if (entry) {
      *link = entry;
      link = &entry->next;
      entry->name = from->name ? TaskCopy(from->name) : nullptr;
      entry->shortName = from->shortName ? TaskCopy(from->shortName) : nullptr;
    }
    if (!entry || (from->name && !entry->name) || (from->shortName && !entry->shortName)) {
      FreeEntryList(*head);
      *head = nullptr;
      return E_OUTOFMEMORY;
    }
    entry->size = from->size;
    entry->attributes = from->attributes;
    entry->created = from->created;
    entry->accessed = from->accessed;
    entry->modified = from->modified;
  }
  return S_OK;
}

void FreeEntryList(FolderEntry* chain) {
  while (chain) {
    FolderEntry* next = chain->next;
    CoTaskMemFree(chain->name);
    CoTaskMemFree(chain->shortName);
    CoTaskMemFree(chain);
    chain = next;
  }
}

UINT GetIDListSize(const ITEMIDLIST* list) {
  if (!list) return 0;
  const BYTE* item = reinterpret_cast<const BYTE*>(list);
  UINT total = 0;
  for (;;) {
    USHORT cb;
    memcpy(&cb, item, sizeof(cb));  // items need not be aligned
    if (cb == 0) break;
    total += cb;
    item += cb;
  }
  return total + sizeof(USHORT);
}

CGetFileBuffer::CGetFileBuffer(DWORD capacity)
    : m_data(new (std::nothrow) BYTE[capacity ? capacity : 1]), m_used(0),
      m_capacity(m_data ? capacity : 0) {}

CGetFileBuffer::~CGetFileBuffer() { delete[] m_data; }

HRESULT CGetFileBuffer::Write(const BYTE* data, DWORD length) {
  if (length > m_capacity - m_used) return E_INVALIDARG;  // no overflow of used + length
  if (length == 0) return S_OK;
  if (!data) return E_POINTER;
  memcpy(m_data + m_used, data, length);
  m_used += length;
  return S_OK;
}

DWORD CGetFileBuffer::CopyOut(BYTE* destination) const {
  if (destination && m_used) memcpy(destination, m_data, m_used);
  return m_used;
}
