// com/InterfaceKeeper.h - keeps the interfaces a process serves registered with COM's RPC layer.
#pragma once
#include <windows.h>
#include <ole2.h>

// Wine 8: when the last stub of an interface goes, COM takes the interface out
// of the RPC layer and waits for the calls on it, holding a lock that every
// marshalling takes. A stub that goes at the end of a call of its own
// interface (a client let go of a stream while another of its threads still
// read it) waits for that very call, and a call that has only just ended can
// be missed by the wait (a race in Wine); the wait then never ends, and the
// process can hand out no object again. An object of our own, marshalled once
// for each interface and never handed out, keeps every one of them registered
// while the keeper lives; its end lets go without waiting.
class CInterfaceKeeper {
public:
  CInterfaceKeeper() = default;
  ~CInterfaceKeeper() { Stop(); }
  CInterfaceKeeper(const CInterfaceKeeper&) = delete;
  CInterfaceKeeper& operator=(const CInterfaceKeeper&) = delete;

  // In an initialised apartment. An interface COM cannot marshal is skipped;
  // the result is the first such failure, or S_OK.
  HRESULT Start(const IID* const* iids, size_t count);
  // Before CoUninitialize.
  void Stop();

private:
  IUnknown* m_holder = nullptr;
};
