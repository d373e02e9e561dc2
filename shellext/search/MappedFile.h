// search/MappedFile.h - a read-only view of a whole file.
#pragma once
#include <windows.h>

class CMappedFile {
public:
  CMappedFile() = default;
  ~CMappedFile() { Close(); }
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  // The size comes from the open handle, so a file that changes between a
  // directory query and the open cannot map short; files of 4 GiB or more
  // are refused. Any failure leaves the view empty.
  bool Open(const wchar_t* path);
  void Close();
  const BYTE* GetView() const { return m_view; }
  DWORD GetSize() const { return m_size; }

private:
  HANDLE m_file = INVALID_HANDLE_VALUE;
  HANDLE m_mapping = nullptr;
  const BYTE* m_view = nullptr;
  DWORD m_size = 0;
};
