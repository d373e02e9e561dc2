// link/IObexStream.h - sink for received OBEX body blocks.
#pragma once
#include <windows.h>

class IObexStream {
public:
  virtual HRESULT Write(const BYTE* data, DWORD length) = 0;
protected:
  ~IObexStream() = default;
};
