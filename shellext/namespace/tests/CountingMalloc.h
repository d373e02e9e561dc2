// A shell allocator for tests: counts what is still allocated, notices a
// block freed twice or one it never gave out, and can run out of memory.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <set>
#include "ModuleEntry.h"

class CCountingMalloc final : public IMalloc {
public:
  int allocations = 0;
  int badFrees = 0;
  int failAfter = -1;   // allocations that succeed before every further one fails; -1 never
  std::set<void*> live;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMalloc)) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP_(void*) Alloc(SIZE_T bytes) override {
    if (failAfter == 0) return nullptr;
    if (failAfter > 0) --failAfter;
    void* block = CoTaskMemAlloc(bytes ? bytes : 1);
    if (block) {
      ++allocations;
      live.insert(block);
    }
    return block;
  }
  STDMETHODIMP_(void*) Realloc(void*, SIZE_T) override { return nullptr; }
  STDMETHODIMP_(void) Free(void* block) override {
    if (!block) return;
    if (!live.erase(block)) {
      ++badFrees;
      return;
    }
    CoTaskMemFree(block);
  }
  STDMETHODIMP_(SIZE_T) GetSize(void*) override { return static_cast<SIZE_T>(-1); }
  STDMETHODIMP_(int) DidAlloc(void* block) override { return live.count(block) ? 1 : 0; }
  STDMETHODIMP_(void) HeapMinimize() override {}
};

// Puts a counting allocator in for one test and checks at the end that every
// list was freed exactly once.
class CountingMallocTest : public ::testing::Test {
protected:
  CCountingMalloc malloc_;
  void SetUp() override {
    CoInitialize(nullptr);
    SetShellMallocForTest(&malloc_);
  }
  void TearDown() override {
    SetShellMallocForTest(nullptr);
    EXPECT_EQ(0u, malloc_.live.size()) << "blocks never freed";
    EXPECT_EQ(0, malloc_.badFrees) << "blocks freed twice or not ours";
    for (void* block : malloc_.live) CoTaskMemFree(block);
    CoUninitialize();
  }
};
