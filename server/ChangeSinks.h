// server/ChangeSinks.h - clients' IVKSNotifySink registrations, called 500 ms
// after a change of their folder from the server's main thread.
#pragma once
#include <windows.h>

#include "SuiteString.h"

class IClock;

constexpr DWORD kSinkDelayMs = 500;

// The clock the due times are read from; null: the system's.
void SetSinkClock(IClock* clock);

// Registers sink (AddRef) for path, whose folder is longPath / shortPath
// (drive part plus long or short names). Holds one module lock. Returns the token.
int AddSink(IUnknown* sink, const CBstr& path, const CBstr& longPath, const CBstr& shortPath);
bool RemoveSink(int token);

// Sinks whose folder is changedPath become due 500 ms from now.
void NotifySinksOfChange(const CBstr& changedPath);
void NotifyAllSinks();

// Main thread: ms until the oldest pending sink is due (0: now; 500: none).
DWORD TimeToNextDispatch();
// Calls the oldest due sink, if any.
void DispatchPendingNotification();

// Calls every sink at once with path, in token order, on the calling thread.
void BroadcastChange(const CBstr& path);

// The folder test: longPath / shortPath lower case, changedPath any case.
bool SinkFolderMatches(const CBstr& registeredPath, const CBstr& longPath, const CBstr& shortPath,
                       const CBstr& changedPath);

int GetSinkCount();
void RemoveAllSinks();
