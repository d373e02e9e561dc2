// Reference counting, module locks, QI tables and the factories.
#include "ClassFactory.h"
#include "ComBase.h"
#include "ErrorInfoChannel.h"
#include <gtest/gtest.h>
#include <oleauto.h>

namespace {

class CCountingModule : public CComModuleBase {};

struct ComModuleScope {
  CCountingModule module;
  ComModuleScope() { SetComModule(&module); }
  ~ComModuleScope() { SetComModule(nullptr); }
};

int g_liveObjects = 0;

template <CComObjectBase::Lifetime kLifetime>
class CSample final : public IPersist, public ISupportErrorInfo, public CComObjectBase {
  COM_QI_TABLE(CSample, IPersist, ISupportErrorInfo)

public:
  CSample() : CComObjectBase(kLifetime) { ++g_liveObjects; }
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    *clsid = GUID_NULL;
    return S_OK;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

private:
  ~CSample() override { --g_liveObjects; }
};
using CCounted = CSample<CComObjectBase::Lifetime::Counted>;
using CGlobal = CSample<CComObjectBase::Lifetime::Global>;

TEST(ComObject, CountedObjectHoldsOneLockAndAnswersItsInterfaces) {
  ComModuleScope scope;
  ComPtr<IPersist> persist;
  ASSERT_EQ(S_OK, CreateComObject<CCounted>(IID_IPersist, reinterpret_cast<void**>(&persist)));
  EXPECT_EQ(1, scope.module.GetLockCount());
  ComPtr<IUnknown> unknown1, unknown2;
  ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown1)));
  ComPtr<ISupportErrorInfo> sei;
  ASSERT_EQ(S_OK, persist.As(&sei));
  ASSERT_EQ(S_OK, sei->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown2)));
  EXPECT_EQ(unknown1.Get(), unknown2.Get());   // COM identity
  ComPtr<IStream> stream;
  EXPECT_EQ(E_NOINTERFACE, persist.As(&stream));
  EXPECT_FALSE(stream);
  EXPECT_EQ(E_POINTER, persist->QueryInterface(IID_IPersist, nullptr));
  EXPECT_EQ(1, scope.module.GetLockCount());
  persist.Reset(); sei.Reset(); unknown1.Reset(); unknown2.Reset();
  EXPECT_EQ(0, g_liveObjects);
  EXPECT_EQ(0, scope.module.GetLockCount());
}

#ifdef NDEBUG
// Debug builds stop here; a release build must not leak what the pointer held.
TEST(ComPtrTest, AddressOfAHeldPointerLetsGoOfItFirst) {
  ComModuleScope scope;
  ComPtr<IPersist> persist;
  ASSERT_EQ(S_OK, CreateComObject<CCounted>(IID_IPersist, reinterpret_cast<void**>(&persist)));
  ASSERT_EQ(1, g_liveObjects);
  IPersist** slot = &persist;
  EXPECT_EQ(nullptr, *slot);
  EXPECT_EQ(0, g_liveObjects);
  EXPECT_EQ(0, scope.module.GetLockCount());
}
#endif

// Moving hands the one reference over; moving onto itself keeps it.
TEST(ComPtrTest, MoveAssignmentHandsTheReferenceOver) {
  ComModuleScope scope;
  ComPtr<IPersist> from, to;
  ASSERT_EQ(S_OK, CreateComObject<CCounted>(IID_IPersist, reinterpret_cast<void**>(&from)));
  to = std::move(from);
  EXPECT_EQ(nullptr, from.Get());
  ASSERT_NE(nullptr, to.Get());
  ComPtr<IPersist>& alias = to;
  to = std::move(alias);
  ASSERT_NE(nullptr, to.Get());
  EXPECT_EQ(1, g_liveObjects);
  to.Reset();
  EXPECT_EQ(0, g_liveObjects);
}

HRESULT CreateGlobal(REFIID riid, void** ppv) { return CreateComObject<CGlobal>(riid, ppv); }
HRESULT CreateCounted(REFIID riid, void** ppv) { return CreateComObject<CCounted>(riid, ppv); }

const CLSID kSingleClsid = {0x1, 0x2, 0x3, {1, 2, 3, 4, 5, 6, 7, 8}};
const CLSID kPlainClsid = {0x1, 0x2, 0x3, {1, 2, 3, 4, 5, 6, 7, 9}};
const CClassEntry kEntries[] = {
    {&kSingleClsid, CreateGlobal, kClassSingleton, 0},
    {&kPlainClsid, CreateCounted, 0, 0},
};

TEST(ClassTable, SingletonIsSharedAndLocksOnlyWhileClientsHoldIt) {
  ComModuleScope scope;
  {
    CClassTable table(kEntries, 2);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, table.GetClassObject(kSingleClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(0, scope.module.GetLockCount());   // factories keep nothing alive
    ComPtr<IPersist> a, b;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&a)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&b)));
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_EQ(2, scope.module.GetLockCount());
    a.Reset();
    b.Reset();
    EXPECT_EQ(0, scope.module.GetLockCount());
    EXPECT_EQ(1, g_liveObjects);   // the singleton lives until the table ends
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.Get(), IID_IUnknown,
                                                             reinterpret_cast<void**>(&aggregated)));
    factory->LockServer(TRUE);
    EXPECT_EQ(1, scope.module.GetLockCount());
    factory->LockServer(FALSE);
    factory.Reset();

    ComPtr<IClassFactory> plainFactory;
    ASSERT_EQ(S_OK, table.GetClassObject(kPlainClsid, IID_IClassFactory, reinterpret_cast<void**>(&plainFactory)));
    ComPtr<IPersist> c, d;
    ASSERT_EQ(S_OK, plainFactory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&c)));
    ASSERT_EQ(S_OK, plainFactory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&d)));
    EXPECT_NE(c.Get(), d.Get());
    EXPECT_EQ(2, scope.module.GetLockCount());
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              table.GetClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  }
  EXPECT_EQ(0, g_liveObjects);
  EXPECT_EQ(0, scope.module.GetLockCount());
}

TEST(ComTry, ExceptionsBecomeResults) {
  auto throwsBadAlloc = []() -> HRESULT { COM_TRY throw std::bad_alloc(); COM_CATCH };
  auto throwsOther = []() -> HRESULT { COM_TRY throw 42; COM_CATCH };
  EXPECT_EQ(E_OUTOFMEMORY, throwsBadAlloc());
  EXPECT_EQ(E_UNEXPECTED, throwsOther());
}

TEST(ErrorInfoWire, RoundTripKeepsEveryField) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(S_OK, CreateErrorInfo(&create));
  create->SetGUID(kSingleClsid);
  create->SetSource(const_cast<LPOLESTR>(L"VKSServer.VKSModule.1"));
  create->SetDescription(const_cast<LPOLESTR>(L"Die Verbindung ist unterbrochen. Ä"));
  create->SetHelpFile(const_cast<LPOLESTR>(L""));
  create->SetHelpContext(7);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(S_OK, create.As(&info));
  ULONG size = 0;
  ASSERT_EQ(S_OK, SerializeErrorInfo(info.Get(), nullptr, &size));
  std::vector<BYTE> wire(size);
  ASSERT_EQ(S_OK, SerializeErrorInfo(info.Get(), wire.data(), &size));
  ComPtr<IErrorInfo> back;
  ASSERT_EQ(S_OK, DeserializeErrorInfo(wire.data(), size, &back));
  GUID guid;
  back->GetGUID(&guid);
  EXPECT_TRUE(IsEqualGUID(kSingleClsid, guid));
  BSTR text = nullptr;
  back->GetDescription(&text);
  EXPECT_STREQ(L"Die Verbindung ist unterbrochen. Ä", text);
  SysFreeString(text);
  back->GetSource(&text);
  EXPECT_STREQ(L"VKSServer.VKSModule.1", text);
  SysFreeString(text);
  DWORD context = 0;
  back->GetHelpContext(&context);
  EXPECT_EQ(7u, context);
  // Truncated or foreign data is refused, never read past its end.
  for (ULONG cut = 0; cut < size; ++cut) {
    ComPtr<IErrorInfo> broken;
    EXPECT_EQ(E_INVALIDARG, DeserializeErrorInfo(wire.data(), cut, &broken)) << cut;
  }
  wire[0] ^= 1;
  ComPtr<IErrorInfo> foreign;
  EXPECT_EQ(E_INVALIDARG, DeserializeErrorInfo(wire.data(), size, &foreign));
  CoUninitialize();
}

}  // namespace
