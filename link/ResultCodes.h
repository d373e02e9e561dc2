// link/ResultCodes.h - the suite's own HRESULTs (facility ITF).
#pragma once
#include <windows.h>

constexpr HRESULT E_PORT_IN_USE        = static_cast<HRESULT>(0x8004A001L);
constexpr HRESULT E_PORT_OPEN_FAILED   = static_cast<HRESULT>(0x8004A002L);
constexpr HRESULT E_NO_COMMUNICATION   = static_cast<HRESULT>(0x8004A004L);
constexpr HRESULT E_CONNECTION_LOST    = static_cast<HRESULT>(0x8004B001L);
constexpr HRESULT E_READ_TIMEOUT       = static_cast<HRESULT>(0x8004B016L);
constexpr HRESULT E_TRANSFER_CANCELLED = static_cast<HRESULT>(0x80040300L);
constexpr HRESULT E_TRANSFER_PAUSE     = static_cast<HRESULT>(0x80040301L);
