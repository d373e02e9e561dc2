// namespace/ModuleViewCallback.h - what the change sink asks of the view it serves.
#pragma once
#include <windows.h>

struct IModuleViewCallback {
  // Read the whole folder again.
  virtual void Refresh() = 0;
  // Search results: drop the rows whose item name is this path (without case).
  virtual void RemoveRowsByName(const wchar_t* path) = 0;
protected:
  ~IModuleViewCallback() = default;
};
