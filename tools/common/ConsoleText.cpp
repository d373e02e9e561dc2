// tools/common/ConsoleText.cpp - usage, wrapping and result reporting of the console tools.
#include "ConsoleText.h"
#include "EntryList.h"
#include "ErrorText.h"
#include "VKSVersion.h"
#include <cstdio>
#include <vector>

const char kToolVersion[] = VKS_VERSION_TEXT;
const char kModuleErrorFormat[] = "Unknown error accessing module: 0x%x\n";
const char kPortErrorFormat[] = "Unknown error setting module port: 0x%x\n";
const char kCloseErrorFormat[] = "Unknown error closing VKS port: 0x%x\n";

namespace {
const int kConsoleWidth = 80;
}

void PrintUsage(const char* usage) {
  printf(usage, kToolVersion);
  fflush(stdout);
}

void WrapText(char* text, int width) {
  if (!text) return;
  char* lineStart = text;
  char* latestSpace = nullptr;
  char* p = text;
  for (; *p; ++p) {
    if (*p == '\n') {
      // A line that an existing line feed ends is broken like the last one,
      // or a long line before "\r\n" would stay too wide.
      if (p - lineStart >= width && latestSpace) *latestSpace = '\n';
      lineStart = p + 1;
      latestSpace = nullptr;
    } else if (*p == ' ') {
      if (p - lineStart >= width && latestSpace) {
        *latestSpace = '\n';
        lineStart = latestSpace + 1;
      }
      latestSpace = p;
    }
  }
  if (p - lineStart >= width && latestSpace) *latestSpace = '\n';
}

std::string ToOemText(const wchar_t* text) {
  if (!text || !*text) return std::string();
  int size = WideCharToMultiByte(CP_OEMCP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string oem(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, text, -1, &oem[0], size, nullptr, nullptr);
  oem.resize(static_cast<size_t>(size) - 1);
  return oem;
}

bool CheckResult(HRESULT result, const char* fallback, std::string* output) {
  std::string unused;
  if (!output) output = &unused;
  CBstr description;
  const bool hasErrorObject = TakeErrorDescription(&description);
  if (result >= 0) return true;
  std::string text;
  if (hasErrorObject) text = ToOemText(description.GetBstr());
  if (!text.empty()) {
    // WrapText works in place on a NUL-terminated text.
    std::vector<char> wrapped(text.begin(), text.end());
    wrapped.push_back('\0');
    WrapText(wrapped.data(), kConsoleWidth);
    output->append(wrapped.data());
    output->append("\n");
  } else if (fallback) {
    int length = snprintf(nullptr, 0, fallback, static_cast<unsigned>(result));
    if (length > 0) {
      std::vector<char> line(static_cast<size_t>(length) + 1);
      snprintf(line.data(), line.size(), fallback, static_cast<unsigned>(result));
      output->append(line.data(), static_cast<size_t>(length));
    }
  }
  return false;
}

bool CheckResult(HRESULT result, const char* fallback) {
  std::string output;
  bool ok = CheckResult(result, fallback, &output);
  if (!output.empty()) {
    fputs(output.c_str(), stdout);
    fflush(stdout);
  }
  return ok;
}

void IgnoreResult(HRESULT) { ClearErrorInfo(); }

bool ListEntries(IVKSVolume* volume, const wchar_t* path, bool directoriesOnly, CEntryList* list,
                 const char* fallback) {
  return CheckResult(ReadEntries(volume, path, directoriesOnly, list), fallback);
}
