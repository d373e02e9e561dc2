// core/ErrorText.h - the text of a failed call: its error object or the system's message.
#pragma once
#include <windows.h>
#include "SuiteString.h"

// The thread's error object outlives the call that set it, and a later call
// that fails without one would be reported with the old text. Clear it before
// a call whose failure will be described.
void ClearErrorInfo();

// Takes the thread's error object (it is gone afterwards): its description,
// empty when there is none. True when there was an error object.
bool TakeErrorDescription(CBstr* description);

// For a failure: the error object's description, else the system's message
// for the code; empty when neither has a text and for success codes.
CBstr GetErrorText(HRESULT result);

// The system's message for code in text (null when the system has none);
// E_OUTOFMEMORY when it could not be copied.
HRESULT GetSystemMessage(HRESULT code, BSTR* text);
