// core/DisplayText.h - numbers, sizes and dates as the user's locale shows them.
// Shared by the console tools and the Explorer extension, so a listing on the
// console and in the view group digits and write dates alike.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include "SuiteString.h"

class CResourceModule;

// Decimal digits with the user's thousands separator and negative form, no decimals.
CBstr FormatGroupedNumber(LONGLONG value);

// "1 byte", "500 bytes", "1.5 KB" ... with at most two decimals, cut not rounded.
// The unit texts (strings 8331 to 8337) come from texts, else from g_resourceModule.
CBstr FormatByteSize(ULONGLONG size, const CResourceModule* texts = nullptr);

// Empty for DATE 0. The time is left out with dateOnly, and after a long date
// when it is exactly midnight.
CBstr FormatDateTime(DATE date, BOOL shortDate, BOOL noSeconds, BOOL dateOnly);

// "2024/3/5/6/7/8/9": year/month/day/hour/minute/second/millisecond; empty
// when the date cannot be converted.
CBstr FormatDateFields(DATE date);
// E_INVALIDARG unless the text has exactly seven fields; an invalid date gives 0.
HRESULT ParseDateFields(const wchar_t* text, DATE* date);

CBstr FormatSlashDate(const SYSTEMTIME& date);                  // "%04d/%02d/%02d"
int ParseSlashDate(const wchar_t* text, SYSTEMTIME* date);      // 1 when valid, else 0

CBstr FormatInteger(int value);
int ParseInteger(const wchar_t* text);

// Local wall-clock fields of an OLE date, milliseconds rounded; FALSE outside
// what SYSTEMTIME can hold.
BOOL DateToFields(DATE date, SYSTEMTIME* fields);
BOOL FieldsToDate(const SYSTEMTIME& fields, DATE* date);
