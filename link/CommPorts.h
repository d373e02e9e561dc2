// link/CommPorts.h - the serial ports of this machine as one text ("COM1;COM3").
#pragma once
#include <windows.h>

// PortTypes bits of the port-list request.
enum PortListFlags : LONG {
  kPhysicalPorts = 1,  // ordinary ports listed under SERIALCOMM
  kVirtualPorts = 2,   // IrDA serial ports and ports only the hardware description knows
  kAllPorts = 3,
  kIrdaSocket = 4,
  kIrdaCommPort = 8,
};

// Number of ports written into buffer (capacity in characters), or -1.
int ListCommPorts(wchar_t* buffer, DWORD capacity, LONG flags);
int EnumerateCommPorts(wchar_t* buffer, DWORD capacity, LONG flags);
