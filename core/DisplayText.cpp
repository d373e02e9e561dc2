// core/DisplayText.cpp - locale texts of numbers, sizes and dates.
#include "DisplayText.h"
#include "ResourceModule.h"
#include <cmath>
#include <cwchar>
#include <cstdlib>

namespace {

const LONGLONG kTicksPerMs = 10000;
const LONGLONG kMsPerDay = 86400000;
const LONGLONG kTicksPerDay = kMsPerDay * kTicksPerMs;
// OLE dates run from year 100 to 9999; FILETIME starts in 1601 anyway.
const double kFirstDate = -657434.0, kPastLastDate = 2958466.0;

// 1899-12-30, day 0 of OLE dates, in FILETIME ticks.
LONGLONG OleEpochTicks() {
  const SYSTEMTIME epoch = {1899, 12, 0, 30, 0, 0, 0, 0};
  FILETIME ft;
  SystemTimeToFileTime(&epoch, &ft);
  return static_cast<LONGLONG>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

CBstr LocaleText(LCTYPE type) {
  wchar_t text[16] = L"";
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, ARRAYSIZE(text))) text[0] = 0;
  return CBstr(text);
}

// digits: plain decimal text with '.' as the point, as GetNumberFormatW wants it.
CBstr FormatLocaleNumber(const wchar_t* digits, UINT decimals) {
  CBstr decimal = LocaleText(LOCALE_SDECIMAL);
  CBstr thousand = LocaleText(LOCALE_STHOUSAND);
  DWORD negativeOrder = 1;
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_INEGNUMBER | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<LPWSTR>(&negativeOrder), sizeof(negativeOrder) / sizeof(wchar_t)))
    negativeOrder = 1;
  NUMBERFMTW format = {};
  format.NumDigits = decimals;
  format.LeadingZero = 1;
  format.Grouping = 3;
  format.lpDecimalSep = const_cast<LPWSTR>(decimal.GetLength() ? decimal.GetBstr() : L".");
  format.lpThousandSep = const_cast<LPWSTR>(thousand.GetLength() ? thousand.GetBstr() : L",");
  format.NegativeOrder = negativeOrder;
  wchar_t text[96];
  if (!GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits, &format, text, ARRAYSIZE(text)))
    return CBstr(digits);
  return CBstr(text);
}

// (size * 100 + half) >> shift without overflow: the hundredths of the unit.
ULONGLONG Hundredths(ULONGLONG size, int shift) {
  unsigned __int128 scaled = static_cast<unsigned __int128>(size) * 100;
  if (shift) scaled += static_cast<unsigned __int128>(1) << (shift - 1);
  return static_cast<ULONGLONG>(scaled >> shift);
}

}  // namespace

BOOL DateToFields(DATE date, SYSTEMTIME* fields) {
  if (!fields || !(date >= kFirstDate && date < kPastLastDate)) return FALSE;
  // The whole part counts days from the epoch either way; the fraction is the
  // time of that day also for negative dates (-1.25 is 1899-12-29 06:00).
  double day = std::trunc(date);
  LONGLONG ms = std::llround(std::fabs(date - day) * kMsPerDay);
  LONGLONG ticks = OleEpochTicks() + static_cast<LONGLONG>(day) * kTicksPerDay + ms * kTicksPerMs;
  if (ticks < 0) return FALSE;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(ticks) >> 32);
  return FileTimeToSystemTime(&ft, fields);
}

BOOL FieldsToDate(const SYSTEMTIME& fields, DATE* date) {
  FILETIME ft;
  if (!date || !SystemTimeToFileTime(&fields, &ft)) return FALSE;
  LONGLONG ticks =
      static_cast<LONGLONG>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) -
      OleEpochTicks();
  LONGLONG day = ticks / kTicksPerDay, rest = ticks % kTicksPerDay;
  if (rest < 0) {
    --day;
    rest += kTicksPerDay;
  }
  double fraction = static_cast<double>(rest / kTicksPerMs) / kMsPerDay;
  *date = day >= 0 ? day + fraction : day - fraction;
  return TRUE;
}

CBstr FormatGroupedNumber(LONGLONG value) {
  wchar_t digits[32];
  swprintf(digits, ARRAYSIZE(digits), L"%lld", value);
  return FormatLocaleNumber(digits, 0);
}

CBstr FormatByteSize(ULONGLONG size, const CResourceModule* texts) {
  const CResourceModule& strings = texts ? *texts : g_resourceModule;
  if (size == 1) return strings.LoadResString(8331);
  struct Unit { ULONGLONG below; int shift; UINT text; };
  static const Unit kUnits[] = {
      {1000ULL, 0, 8332},          {1024000ULL, 10, 8333},          {1048576000ULL, 20, 8334},
      {1073741824000ULL, 30, 8335}, {1099511627776000ULL, 40, 8336}, {~0ULL, 50, 8337}};
  const Unit* unit = kUnits;
  while (unit->shift < 50 && size >= unit->below) ++unit;
  ULONGLONG h = unit->shift ? Hundredths(size, unit->shift) : size * 100;
  ULONGLONG whole = h / 100;
  wchar_t digits[48];
  UINT decimals = 0;
  if (h < 1000) {
    swprintf(digits, ARRAYSIZE(digits), L"%llu.%02llu", whole, h % 100);
    decimals = h % 10 ? 2 : (h / 10) % 10 ? 1 : 0;
  } else if (h < 10000) {
    swprintf(digits, ARRAYSIZE(digits), L"%llu.%llu", whole, (h / 10) % 10);
    decimals = (h / 10) % 10 ? 1 : 0;
  } else {
    swprintf(digits, ARRAYSIZE(digits), L"%llu", whole);
  }
  return ConcatStrings(FormatLocaleNumber(digits, decimals), strings.LoadResString(unit->text));
}

CBstr FormatDateTime(DATE date, BOOL shortDate, BOOL noSeconds, BOOL dateOnly) {
  SYSTEMTIME fields;
  if (date == 0 || !DateToFields(date, &fields)) return CBstr();
  wchar_t dateText[128], timeText[64];
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, shortDate ? DATE_SHORTDATE : DATE_LONGDATE, &fields, nullptr,
                      dateText, ARRAYSIZE(dateText)))
    dateText[0] = 0;
  const bool midnight = !fields.wHour && !fields.wMinute && !fields.wSecond && !fields.wMilliseconds;
  if (dateOnly || (!shortDate && midnight)) return CBstr(dateText);
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, noSeconds ? TIME_NOSECONDS : 0, &fields, nullptr, timeText,
                      ARRAYSIZE(timeText)))
    timeText[0] = 0;
  CBstr text(dateText);
  text.Append(shortDate ? L" " : L", ");
  text.Append(timeText);
  return text;
}

CBstr FormatDateFields(DATE date) {
  SYSTEMTIME f;
  if (!DateToFields(date, &f)) return CBstr();
  wchar_t text[64];
  swprintf(text, ARRAYSIZE(text), L"%u/%u/%u/%u/%u/%u/%u", f.wYear, f.wMonth, f.wDay, f.wHour, f.wMinute,
           f.wSecond, f.wMilliseconds);
  return CBstr(text);
}

HRESULT ParseDateFields(const wchar_t* text, DATE* date) {
  if (!date) return E_POINTER;
  CBstr fields(text);
  if (fields.CountFields(L'/') != 7) return E_INVALIDARG;
  int value[7];
  for (int i = 0; i < 7; ++i) {
    CBstr field = fields.GetField(L'/', i);
    value[i] = field.GetLength() ? _wtoi(field.GetBstr()) : 0;
  }
  SYSTEMTIME st = {};
  // Out-of-range fields must not wrap into a valid date through the WORD casts.
  bool inRange = true;
  for (int v : value) inRange = inRange && v >= 0 && v <= 0xFFFF;
  st.wYear = static_cast<WORD>(value[0]);
  st.wMonth = static_cast<WORD>(value[1]);
  st.wDay = static_cast<WORD>(value[2]);
  st.wHour = static_cast<WORD>(value[3]);
  st.wMinute = static_cast<WORD>(value[4]);
  st.wSecond = static_cast<WORD>(value[5]);
  st.wMilliseconds = static_cast<WORD>(value[6]);
  if (!inRange || !FieldsToDate(st, date)) *date = 0;
  return S_OK;
}

CBstr FormatSlashDate(const SYSTEMTIME& date) {
  wchar_t text[32];
  swprintf(text, ARRAYSIZE(text), L"%04d/%02d/%02d", date.wYear, date.wMonth, date.wDay);
  return CBstr(text);
}

int ParseSlashDate(const wchar_t* text, SYSTEMTIME* date) {
  if (!text || !date || wcslen(text) != 10 || text[4] != L'/' || text[7] != L'/') return 0;
  int year = _wtoi(text), month = _wtoi(text + 5), day = _wtoi(text + 8);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
  ZeroMemory(date, sizeof(*date));
  date->wYear = static_cast<WORD>(year);
  date->wMonth = static_cast<WORD>(month);
  date->wDay = static_cast<WORD>(day);
  return 1;
}

CBstr FormatInteger(int value) {
  wchar_t text[16];
  swprintf(text, ARRAYSIZE(text), L"%d", value);
  return CBstr(text);
}

int ParseInteger(const wchar_t* text) { return text ? _wtoi(text) : 0; }
