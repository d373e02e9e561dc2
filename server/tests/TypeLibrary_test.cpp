// The type library embedded in VKSServer.exe, read back: the contract clients compile against.
#include "ServerFixture.h"
#include "VKSServer.h"
#include <oleauto.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using vkstest::ServerExePath;

class TypeLibraryTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, LoadTypeLibEx(ServerExePath().c_str(), REGKIND_NONE, &m_lib));
  }
  void TearDown() override {
    if (m_lib) m_lib->Release();
  }
  ITypeInfo* Info(REFGUID guid) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(S_OK, m_lib->GetTypeInfoOfGuid(guid, &info));
    return info;
  }
  static std::wstring Name(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    return text;
  }
  static std::wstring Help(ITypeInfo* info, MEMBERID id) {
    BSTR help = nullptr;
    info->GetDocumentation(id, nullptr, &help, nullptr, nullptr);
    std::wstring text = help ? help : L"";
    SysFreeString(help);
    return text;
  }

  ITypeLib* m_lib = nullptr;
};

struct Method {
  int slot;
  MEMBERID dispid;
  const wchar_t* name;
  short params;
};

const Method kVolume[] = {
    {7, 1, L"AddChangeNotification", 3}, {8, 2, L"BroadcastChangeNotification", 1},
    {9, 3, L"Copy", 2},                  {10, 4, L"CreateDir", 1},
    {11, 5, L"CreateStdDirs", 1},        {12, 6, L"Delete", 1},
    {13, 7, L"Format", 1},               {14, 8, L"GetCapacity", 3},
    {15, 9, L"GetEntries", 3},           {16, 10, L"GetFile", 2},
    {17, 11, L"GetLabel", 2},            {18, 12, L"HasSubDirs", 2},
    {19, 13, L"Move", 2},                {20, 14, L"MoveDir", 2},
    {21, 15, L"PutFile", 3},             {22, 16, L"RemoveChangeNotification", 1},
    {23, 17, L"RemoveDir", 1},           {24, 18, L"SetAttributes", 2},
    {25, 19, L"SetLabel", 2},            {26, 20, L"SetTime", 4},
    {27, 23, L"SelectPort", 1},
};
const Method kGeneral[] = {
    {7, 21, L"GetMobileModel", 1}, {8, 22, L"GetCommPorts", 2}, {9, 24, L"Shutdown", 1}};
const Method kSink[] = {{3, 0x60010000, L"OnChange", 1}};

void CheckMethods(ITypeInfo* info, const Method* methods, size_t count, int firstSlot) {
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
  ASSERT_EQ(count, attr->cFuncs);
  info->ReleaseTypeAttr(attr);
  for (size_t i = 0; i < count; ++i) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(S_OK, info->GetFuncDesc(static_cast<UINT>(i), &desc));
    const Method& m = methods[i];
    EXPECT_EQ(m.slot, desc->oVft / static_cast<int>(sizeof(void*))) << m.name;
    EXPECT_EQ(m.slot, firstSlot + static_cast<int>(i)) << m.name;
    EXPECT_EQ(m.dispid, desc->memid) << m.name;
    EXPECT_EQ(m.params, desc->cParams) << m.name;
    EXPECT_EQ(VT_HRESULT, desc->elemdescFunc.tdesc.vt) << m.name;
    BSTR name = nullptr;
    info->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(m.name, name);
    SysFreeString(name);
    info->ReleaseFuncDesc(desc);
  }
}

TEST_F(TypeLibraryTest, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, m_lib->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(LIBID_VKSServer, attr->guid));
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  EXPECT_EQ(0x0409u, attr->lcid);
  EXPECT_EQ(SYS_WIN64, attr->syskind);
  m_lib->ReleaseTLibAttr(attr);
  BSTR help = nullptr;
  m_lib->GetDocumentation(-1, nullptr, &help, nullptr, nullptr);
  EXPECT_STREQ(L"VKSServer Type Library", help);
  SysFreeString(help);
}

TEST_F(TypeLibraryTest, InterfacesHaveTheirSlotsDispidsAndFlags) {
  const struct {
    const IID* iid;
    const Method* methods;
    size_t count;
    int firstSlot;
    WORD flags;
    const wchar_t* help;
  } kInterfaces[] = {
      {&IID_IVKSVolume, kVolume, ARRAYSIZE(kVolume), 7, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION,
       L"IVKSVolume Interface"},
      {&IID_IVKSGeneral, kGeneral, ARRAYSIZE(kGeneral), 7, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION,
       L"IVKSGeneral Interface"},
      {&IID_IVKSNotifySink, kSink, ARRAYSIZE(kSink), 3, TYPEFLAG_FOLEAUTOMATION, L"IVKSNotifySink Interface"},
  };
  for (const auto& itf : kInterfaces) {
    ITypeInfo* info = Info(*itf.iid);
    ASSERT_NE(nullptr, info);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    ITypeInfo* vtable = info;
    if (attr->typekind == TKIND_DISPATCH) {
      // A dual interface is found as its dispinterface; the vtable half has the slots.
      HREFTYPE ref;
      ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(-1, &ref));
      ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, &vtable));
    }
    info->ReleaseTypeAttr(attr);
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(itf.flags, attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) << itf.help;
    vtable->ReleaseTypeAttr(attr);
    EXPECT_EQ(itf.help, Help(vtable, MEMBERID_NIL));
    CheckMethods(vtable, itf.methods, itf.count, itf.firstSlot);
    if (vtable != info) vtable->Release();
    info->Release();
  }
}

TEST_F(TypeLibraryTest, HelpStringsOfMethods) {
  ITypeInfo* sink = Info(IID_IVKSNotifySink);
  ASSERT_NE(nullptr, sink);
  EXPECT_EQ(L"Called to indicate a change in a directory on the MMC of the module.", Help(sink, 0x60010000));
  sink->Release();
  ITypeInfo* general = Info(IID_IVKSGeneral);
  ASSERT_NE(nullptr, general);
  EXPECT_EQ(L"Returns communication ports avaible on system.", Help(general, 22));
  EXPECT_EQ(L"Shuts down module access and closes the used communication port", Help(general, 24));
  general->Release();
  ITypeInfo* volume = Info(IID_IVKSVolume);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(L"Sets the serial communication port to communicate with module", Help(volume, 23));
  EXPECT_EQ(L"Broadcasts a change to all notification without matching the path.", Help(volume, 2));
  volume->Release();
}

TEST_F(TypeLibraryTest, CoclassesAndEnums) {
  const struct {
    const CLSID* clsid;
    const IID* defaultInterface;
    const wchar_t* name;
    const wchar_t* help;
  } kClasses[] = {
      {&CLSID_VKSModule, &IID_IVKSVolume, L"VKSModule", L"VKSModule Class"},
      {&CLSID_VKSGeneral, &IID_IVKSGeneral, L"VKSGeneral", L"VKSGeneral Class"},
  };
  for (const auto& c : kClasses) {
    ITypeInfo* info = Info(*c.clsid);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(c.name, Name(info, MEMBERID_NIL));
    EXPECT_EQ(c.help, Help(info, MEMBERID_NIL));
    HREFTYPE ref;
    ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &ref));
    ITypeInfo* itf = nullptr;
    ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, &itf));
    TYPEATTR* attr = nullptr;
    itf->GetTypeAttr(&attr);
    EXPECT_TRUE(IsEqualGUID(*c.defaultInterface, attr->guid)) << c.name;
    itf->ReleaseTypeAttr(attr);
    itf->Release();
    INT implFlags = 0;
    info->GetImplTypeFlags(0, &implFlags);
    EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);
    info->Release();
  }

  const struct {
    const wchar_t* name;
    LONG value;
  } kConstants[] = {
      {L"TRANSPORT_TYPE_IRDA", 1}, {L"TRANSPORT_TYPE_SERIAL", 2}, {L"TRANSPORT_TYPE_TCPIP", 3},
      {L"TRANSPORT_TYPE_USB", 5},  {L"geName", 0},                {L"geShortName", 1},
      {L"geSize", 2},              {L"geAttributes", 3},          {L"geCreationTime", 4},
      {L"geLastAccessTime", 5},    {L"geLastWriteTime", 6},       {L"PHYSICAL_PORTS", 1},
      {L"VIRTUAL_PORTS", 2},       {L"ALL_PORTS", 3},             {L"IRDA_SOCKET", 4},
      {L"IRDA_COMMPORT", 8},
  };
  size_t found = 0;
  for (UINT i = 0; i < m_lib->GetTypeInfoCount(); ++i) {
    ITypeInfo* info = nullptr;
    m_lib->GetTypeInfo(i, &info);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    if (attr->typekind == TKIND_ENUM) {
      EXPECT_EQ(4, attr->cbSizeInstance);
      for (UINT v = 0; v < attr->cVars; ++v) {
        VARDESC* var = nullptr;
        info->GetVarDesc(v, &var);
        std::wstring name = Name(info, var->memid);
        for (const auto& k : kConstants) {
          if (name == k.name) {
            ++found;
            EXPECT_EQ(k.value, V_I4(var->lpvarValue)) << k.name;
          }
        }
        info->ReleaseVarDesc(var);
      }
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
  EXPECT_EQ(ARRAYSIZE(kConstants), found);
}

}  // namespace
