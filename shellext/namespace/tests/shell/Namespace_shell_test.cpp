// Through Wine's own shell, with the DLL registered and the real server on the
// simulator: My Computer shows "Module", binds into our folder, and its drives
// and files come from the module with the details the columns show.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <memory>
#include <type_traits>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ModuleShellTest.h"

namespace {

using namespace vkstest;

const CLSID kFolderClsid = {0xC5C1072F, 0xCD5B, 0x4dbb, {0x93, 0xAB, 0xAA, 0xCD, 0x6E, 0x08, 0x1B, 0x07}};

std::wstring DisplayName(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags) {
  STRRET name = {};
  wchar_t text[MAX_PATH] = {};
  if (SUCCEEDED(folder->GetDisplayNameOf(item, flags, &name))) StrRetToBufW(&name, item, text, ARRAYSIZE(text));
  return text;
}

struct ShellFree {
  void operator()(void* list) const { CoTaskMemFree(list); }
};
using ChildHolder = std::unique_ptr<std::remove_pointer_t<PITEMID_CHILD>, ShellFree>;

// One child of a folder: its record (a one-record list) and the texts of its row.
struct Child {
  std::wstring name;
  std::vector<std::wstring> details;
  ChildHolder item;
};

std::vector<Child> Children(IShellFolder* folder, SHCONTF flags, UINT columns) {
  std::vector<Child> children;
  ComPtr<IEnumIDList> items;
  if (folder->EnumObjects(nullptr, flags, &items) != S_OK || !items) return children;
  ComPtr<IShellDetails> details;
  folder->QueryInterface(IID_IShellDetails, reinterpret_cast<void**>(&details));
  PITEMID_CHILD item = nullptr;
  while (items->Next(1, &item, nullptr) == S_OK) {
    Child child;
    child.name = DisplayName(folder, item, SHGDN_INFOLDER);
    for (UINT column = 0; details && column < columns; ++column) {
      SHELLDETAILS row = {};
      wchar_t text[MAX_PATH] = {};
      if (SUCCEEDED(details->GetDetailsOf(item, column, &row))) StrRetToBufW(&row.str, item, text, ARRAYSIZE(text));
      child.details.push_back(text);
    }
    child.item.reset(item);
    children.push_back(std::move(child));
  }
  return children;
}

const Child* Find(const std::vector<Child>& children, const std::wstring& name) {
  for (const Child& child : children)
    if (child.name == name) return &child;
  return nullptr;
}

std::wstring TypeName(const wchar_t* name, DWORD attributes) {
  SHFILEINFOW info = {};
  SHGetFileInfoW(name, attributes, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
  return info.szTypeName;
}

class NamespaceShell : public shelltest::CModuleShellTest {
protected:
  void SetUp() override {
    CModuleShellTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    MakeHostDir(L"A\\dir");
    ASSERT_TRUE(WriteHostFile(L"A\\f.txt", std::vector<BYTE>(2048, 'x')));
    ASSERT_TRUE(WriteHostFile(L"A\\small.bin", std::vector<BYTE>(500, 'y')));
    SetHostTime(L"A\\f.txt");
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
  }
  void ReleaseClients() override { desktop.Reset(); }
  // 2024-03-05 12:00 UTC: midday, so that no time zone moves the day.
  static void SetHostTime(const std::wstring& relative) {
    SYSTEMTIME time = {2024, 3, 2, 5, 12, 0, 0, 0};
    FILETIME write = {};
    SystemTimeToFileTime(&time, &write);
    HANDLE file = CreateFileW(HostPath(relative).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &write));
    CloseHandle(file);
  }
  // My Computer, bound through the desktop as Explorer does.
  ComPtr<IShellFolder> Computer() {
    ComPtr<IShellFolder> computer;
    PIDLIST_ABSOLUTE drives = nullptr;
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives), S_OK);
    EXPECT_EQ(desktop->BindToObject(drives, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&computer)), S_OK);
    CoTaskMemFree(drives);
    return computer;
  }
  ComPtr<IShellFolder> Bind(IShellFolder* parent, const Child& child) {
    ComPtr<IShellFolder> folder;
    EXPECT_EQ(parent->BindToObject(child.item.get(), nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
              S_OK)
        << child.name.c_str();
    return folder;
  }

  ComPtr<IShellFolder> desktop;
};

TEST_F(NamespaceShell, MyComputerBindsIntoTheModuleAndItsFiles) {
  ComPtr<IShellFolder> computer = Computer();
  ASSERT_TRUE(computer);
  std::vector<Child> top = Children(computer.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, 0);
  const Child* module = Find(top, L"Module");
  ASSERT_NE(module, nullptr) << "My Computer lists the module";

  ComPtr<IShellFolder> root = Bind(computer.Get(), *module);
  ASSERT_TRUE(root);
  ComPtr<IPersist> persist;
  ASSERT_EQ(root.As(&persist), S_OK);
  CLSID clsid = {};
  ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kFolderClsid));

  std::vector<Child> drives = Children(root.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, 4);
  ASSERT_EQ(drives.size(), 1u);
  const Child& drive = drives[0];
  EXPECT_EQ(drive.name, L"Module Disk (A:)");
  EXPECT_EQ(drive.details, (std::vector<std::wstring>{L"A:", L"Module Disk", L"16 MB", drive.details[3]}));
  EXPECT_FALSE(drive.details[3].empty()) << "free space";

  ComPtr<IShellFolder> card = Bind(root.Get(), drive);
  ASSERT_TRUE(card);
  std::vector<Child> files = Children(card.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, 4);
  const Child* dir = Find(files, L"dir");
  const Child* f = Find(files, L"f.txt");
  const Child* small = Find(files, L"small.bin");
  ASSERT_TRUE(dir && f && small) << files.size() << " entries";
  EXPECT_EQ(dir->details[1], L"") << "a folder has no size";
  EXPECT_EQ(dir->details[2], TypeName(L"dir", FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(f->details[1], L"2 KB");
  EXPECT_EQ(f->details[2], TypeName(L"f.txt", 0));
  EXPECT_NE(f->details[3].find(L"2024"), std::wstring::npos) << f->details[3].c_str();
  EXPECT_EQ(small->details[1], L"500 bytes");
  EXPECT_EQ(DisplayName(card.Get(), f->item.get(), SHGDN_FORPARSING), L"Module Disk A:\\f.txt");

  // Folders only, as the tree asks.
  std::vector<Child> folders = Children(card.Get(), SHCONTF_FOLDERS, 0);
  EXPECT_NE(Find(folders, L"dir"), nullptr);
  EXPECT_EQ(Find(folders, L"f.txt"), nullptr);

  // A rename through the shell's folder lands on the module's card.
  EXPECT_EQ(card->SetNameOf(nullptr, f->item.get(), L"renamed.txt", SHGDN_INFOLDER, nullptr), S_OK);
  EXPECT_EQ(GetFileAttributesW(HostPath(L"A\\f.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(HostPath(L"A\\renamed.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  std::vector<Child> after = Children(card.Get(), SHCONTF_NONFOLDERS, 0);
  EXPECT_NE(Find(after, L"renamed.txt"), nullptr);
  EXPECT_EQ(Find(after, L"f.txt"), nullptr);
}

}  // namespace
