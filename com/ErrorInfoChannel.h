// com/ErrorInfoChannel.h - carries IErrorInfo from a server to its clients
// where the platform does not (Wine 8 drops it between processes).
#pragma once
#include <windows.h>

// Installs the channel hook for this process, once; later calls do nothing.
// Call after COM is initialised, in the server and in every client process.
// Server side it sends the error information a method left on its thread;
// client side it sets that information unless the platform already did.
HRESULT InstallErrorInfoChannel();

// The hook itself, for tests that drive both of its sides by hand.
struct IChannelHook;
HRESULT CreateErrorInfoChannelHook(IChannelHook** hook);
extern const GUID kErrorInfoExtension;

// Wire form of the carried information, kept apart so it can be tested.
struct IErrorInfo;
HRESULT SerializeErrorInfo(IErrorInfo* info, BYTE* buffer, ULONG* size);   // null buffer: size only
HRESULT DeserializeErrorInfo(const BYTE* buffer, ULONG size, IErrorInfo** info);
