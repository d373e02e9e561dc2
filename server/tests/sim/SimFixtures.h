// A registered VKSServer on the simulator's port, reached from this process
// as a COM client.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComBase.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "TestData.h"
#include "VKSServer.h"

namespace simtest {

using namespace vkstest;

// The module has two volumes. Nothing of the server is left running afterwards.
class ServerSimTest : public SimTestOf<ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(2);
    ASSERT_TRUE(WriteSuitePort(CSimControl::TestPortW()));
    volume.Attach(Create<IVKSVolume>(CLSID_VKSModule).Detach());
    ASSERT_TRUE(volume);
  }
  void StopServer() override {
    volume.Reset();
    ReleaseAll();
    ShutDownServer();
    SimTestOf<ServerClientTest>::StopServer();
  }
  // Tests drop their own references here before the shutdown.
  virtual void ReleaseAll() {}

  HRESULT Put(const wchar_t* path, const std::vector<BYTE>& data, LONG attributes = 0) {
    ComPtr<IStream> stream = MemoryStream(data);
    return volume->PutFile(Text(path), stream.Get(), attributes);
  }
  HRESULT Get(const wchar_t* path, std::vector<BYTE>* data) {
    ComPtr<IUnknown> content;
    HRESULT hr = volume->GetFile(Text(path), &content);
    if (FAILED(hr)) return hr;
    ComPtr<IStream> stream;
    hr = content.As(&stream);
    if (FAILED(hr)) return hr;
    return ReadAll(stream.Get(), data);
  }
  HRESULT List(const wchar_t* path, std::vector<std::wstring>* names, VARIANT_BOOL dirsOnly = VARIANT_FALSE) {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = volume->GetEntries(Text(path), dirsOnly, &v);
    if (names) *names = Names(v);
    VariantClear(&v);
    return hr;
  }

  ComPtr<IVKSVolume> volume;

private:
  CSavedSetting m_savedPort{L"Port"};
};

}  // namespace simtest
