// search/MappedFile.cpp - a read-only view of a whole file.
#include "MappedFile.h"

bool CMappedFile::Open(const wchar_t* path) {
  Close();
  if (!path) return false;
  m_file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  LARGE_INTEGER size = {};
  if (m_file == INVALID_HANDLE_VALUE || !GetFileSizeEx(m_file, &size) || size.QuadPart <= 0 ||
      size.QuadPart > 0xFFFFFFFFll) {
    Close();
    return false;
  }
  m_mapping = CreateFileMappingW(m_file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (m_mapping) m_view = static_cast<const BYTE*>(MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0));
  if (!m_view) {
    Close();
    return false;
  }
  m_size = static_cast<DWORD>(size.QuadPart);
  return true;
}

void CMappedFile::Close() {
  if (m_view) UnmapViewOfFile(m_view);
  if (m_mapping) CloseHandle(m_mapping);
  if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
  m_view = nullptr;
  m_mapping = nullptr;
  m_file = INVALID_HANDLE_VALUE;
  m_size = 0;
}
