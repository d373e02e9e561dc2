// screenshots/Screenshots.cpp - the pictures of the README. Each shot is a
// small function that brings a window into the state to show and names the
// window to take; the picture is copied from the screen (Xvfb with Wine's X11
// driver) into a BMP in VKS_SHOT_DIR, which scripts/screenshot turns into PNG.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "ChildProcess.h"
#include "ItemIDList.h"
#include "ModuleShellTest.h"
#include "SearchConfiguration.h"
#include "WineExplorer.h"

namespace {

using namespace vkstest;

// Lets the windows paint before a picture is taken.
void Settle() {
  Sleep(1500);
}

// The window's rectangle copied from the screen into a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::wstring& file) {
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;   // "BM"
    fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + imageBytes;
    FILE* out = _wfopen(file.c_str(), L"wb");
    ok = out && fwrite(&fileHeader, sizeof fileHeader, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
         fwrite(bits, imageBytes, 1, out) == 1;
    if (out) fclose(out);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// A saved search with its results, opened in VKSSearchApp's window.
class CSavedSearchWindow final : public ISearchItemSource {
public:
  ~CSavedSearchWindow() { Close(); }
  HWND Open(const std::wstring& folder) {
    const std::wstring file = folder + L"\\text files.ssc";
    for (const wchar_t* name : {L"\\A:\\readme.txt", L"\\A:\\Documents\\letter.txt"}) {
      m_items.emplace_back();
      const wchar_t* last = wcsrchr(name, L'\\') + 1;
      m_items.back().CreateItem(name, static_cast<UINT>(wcslen(name)), last, static_cast<UINT>(wcslen(last)), 2100,
                                FILE_ATTRIBUTE_ARCHIVE, 45000.5, 45000.5, 45000.5);
    }
    SearchSettings criteria;
    criteria.name = L"*.txt";
    criteria.saveResult = TRUE;
    if (FAILED(WriteSearchConfiguration(file.c_str(), criteria, this))) return nullptr;
    STARTUPINFOW startup = {sizeof(startup)};
    std::wstring line = QuoteArgument(ToolPath(L"VKSSearchApp")) + L" " + QuoteArgument(file);
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
      return nullptr;
    for (int i = 0; i < 300 && !m_window; ++i, Sleep(100)) {
      EnumWindows(
          [](HWND window, LPARAM self) -> BOOL {
            auto* me = reinterpret_cast<CSavedSearchWindow*>(self);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t title[64] = {};
            GetWindowTextW(window, title, ARRAYSIZE(title));
            if (owner != me->m_process.dwProcessId || wcsncmp(title, L"Searching for:", 14) != 0) return TRUE;
            me->m_window = window;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(this));
    }
    // The title comes first; the window is ready once its list shows the saved results.
    for (int i = 0; i < 300 && m_window && ResultCount() < static_cast<int>(m_items.size()); ++i) Sleep(100);
    if (m_window) {
      SetWindowPos(m_window, HWND_TOP, 20, 20, 620, 420, SWP_SHOWWINDOW);
      RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    return m_window;
  }
  void Close() {
    if (!m_process.hProcess) return;
    if (m_window) PostMessageW(m_window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(m_process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(m_process.hProcess, 1);
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
    m_process = {};
    m_window = nullptr;
  }
  int ResultCount() const {
    HWND list = nullptr;
    EnumChildWindows(
        m_window,
        [](HWND child, LPARAM found) -> BOOL {
          wchar_t name[32] = {};
          GetClassNameW(child, name, ARRAYSIZE(name));
          if (lstrcmpiW(name, WC_LISTVIEWW) != 0) return TRUE;
          *reinterpret_cast<HWND*>(found) = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&list));
    return list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  }
  int GetItemCount() override { return static_cast<int>(m_items.size()); }
  HRESULT GetItem(int index, LPCITEMIDLIST* item) override {
    *item = m_items[static_cast<size_t>(index)].Get();
    return S_OK;
  }

private:
  std::vector<CItemIDList> m_items;
  PROCESS_INFORMATION m_process = {};
  HWND m_window = nullptr;
};

class Screenshots : public shelltest::CModuleShellTest {
protected:
  void SetUp() override {
    CModuleShellTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // A module as a user keeps it: a few folders and files of several kinds.
    for (const wchar_t* folder : {L"A\\Documents", L"A\\Pictures", L"A\\Music"}) MakeHostDir(folder);
    const struct { const wchar_t* name; size_t size; } files[] = {
        {L"A\\readme.txt", 1200},          {L"A\\settings.ini", 380},
        {L"A\\holiday.jpg", 48213},        {L"A\\report.pdf", 262144},
        {L"A\\Documents\\letter.txt", 2100}, {L"A\\Music\\tune.mid", 9000},
    };
    for (const auto& file : files) ASSERT_TRUE(WriteHostFile(file.name, std::vector<BYTE>(file.size, 'x')));
    ASSERT_TRUE(explorer.Start());
    MoveWindow(explorer.Window(), 0, 0, 760, 480, TRUE);
  }
  void ReleaseClients() override {
    search.Close();
    if (explorer.Window()) explorer.Close();
  }

  CWineExplorer explorer;
  CSavedSearchWindow search;
};

struct Shot {
  const wchar_t* name;
  // Brings the window into the state to show; the window to take, or null.
  std::function<HWND(CWineExplorer&)> show;
};

TEST_F(Screenshots, TakeEveryShot) {
  const char* folder = getenv("VKS_SHOT_DIR");
  ASSERT_TRUE(folder && *folder) << "VKS_SHOT_DIR names the folder for the pictures";
  const std::string dir(folder);
  std::vector<Shot> shots = {
      {L"explorer-drives",
       [](CWineExplorer& host) -> HWND {
         if (!host.Navigate(kModuleLocation) || !host.WaitForRows({L"Module Disk (A:)"})) return nullptr;
         return host.Window();
       }},
      {L"explorer-folder",
       [](CWineExplorer& host) -> HWND {
         if (!host.PressOnRow(L"Module Disk (A:)", VK_RETURN) || !host.WaitForRows({L"Documents", L"Music", L"Pictures",
                                                                                  L"holiday.jpg", L"readme.txt",
                                                                                  L"report.pdf", L"settings.ini"}))
           return nullptr;
         return host.Window();
       }},
  };
  const std::wstring shotFolder(dir.begin(), dir.end());
  // The last shot: Explorer steps aside for the search window.
  shots.push_back({L"search-window", [this, shotFolder](CWineExplorer& host) {
                     ShowWindow(host.Window(), SW_HIDE);
                     return search.Open(shotFolder);
                   }});
  for (const Shot& shot : shots) {
    HWND window = shot.show(explorer);
    ASSERT_TRUE(window) << "shot " << std::string(shot.name, shot.name + wcslen(shot.name));
    Settle();
    std::wstring file(dir.begin(), dir.end());
    file += L"\\";
    file += shot.name;
    file += L".bmp";
    EXPECT_TRUE(SaveWindowPicture(window, file)) << std::string(file.begin(), file.end());
  }
}

}  // namespace
