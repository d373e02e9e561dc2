// link/SuiteUtil.h - times, CRC-16, folder entry chains, receive buffer.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <shtypes.h>

#include "FolderEntry.h"
#include "IObexStream.h"

// OLE DATE 0 means "no time" and maps to a zero FILETIME both ways. DATEs are
// local wall-clock times, FILETIMEs UTC.
BOOL DateToFileTime(DATE date, FILETIME* fileTime);
BOOL FileTimeToDate(const FILETIME& fileTime, DATE* date);
BOOL DateToSystemTime(DATE date, SYSTEMTIME* systemTime);  // local wall-clock fields
BOOL SystemTimeToDate(const SYSTEMTIME& systemTime, DATE* date);
DATE CurrentLocalDate();

// CRC-16/X-25; pass an earlier result as seed to continue over joined data.
WORD Crc16Update(const BYTE* data, DWORD length, WORD seed);

// Folder entry chains; every block and text is CoTaskMem.
FolderEntry* NewFolderEntry(const wchar_t* name, DWORD size, DWORD attributes, DATE created,
                            DATE accessed, DATE lastWrite);  // null when out of memory
HRESULT CopyFolderEntries(const FolderEntry* source, FolderEntry** head);
void FreeEntryList(FolderEntry* chain);

UINT GetIDListSize(const ITEMIDLIST* list);  // with the terminator; 0 for null

// Receives a small object into a buffer of fixed capacity.
class CGetFileBuffer final : public IObexStream {
public:
  explicit CGetFileBuffer(DWORD capacity);
  ~CGetFileBuffer();
  CGetFileBuffer(const CGetFileBuffer&) = delete;
  CGetFileBuffer& operator=(const CGetFileBuffer&) = delete;

  HRESULT Write(const BYTE* data, DWORD length) override;  // E_INVALIDARG past the capacity
  DWORD CopyOut(BYTE* destination) const;                  // returns the used count
  DWORD GetUsed() const { return m_used; }
  DWORD GetCapacity() const { return m_capacity; }
  const BYTE* GetData() const { return m_data; }

private:
  BYTE* m_data;
  DWORD m_used;
  DWORD m_capacity;
};
