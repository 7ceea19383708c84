// kalinor_mapi_standin.dll as mapi32.dll sees it: the six exports by name,
// and the COM start that MAPIInitialize owes the tool (whose XML work relies
// on it) without taking COM away from a thread that had it before. Each case
// runs on a thread of its own, so COM starts from nothing there.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/mapi.h"

namespace {

constexpr ULONG kMapiNoCoInit = 0x00000008;
constexpr HRESULT kMapiErrorVersion = static_cast<HRESULT>(0x80040110);

using InitializeFunction = HRESULT(WINAPI*)(LPVOID);
using UninitializeFunction = void(WINAPI*)();

template <typename Function>
Function Export(HMODULE dll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

// The apartment this thread is in; APTTYPE_CURRENT (-1) when COM is not
// initialized on it.
APTTYPE Apartment() {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return APTTYPE_CURRENT;
  return type;
}

bool InSingleThreadedApartment() {
  const APTTYPE type = Apartment();
  return type == APTTYPE_STA || type == APTTYPE_MAINSTA;
}

void OnFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

class MapiProviderDll : public ::testing::Test {
 protected:
  void SetUp() override {
    // Copied beside this test executable by the build.
    m_dll = LoadLibraryW(L"kalinor_mapi_standin.dll");
    ASSERT_NE(m_dll, nullptr) << "error " << GetLastError();
    Initialize = Export<InitializeFunction>(m_dll, "MAPIInitialize");
    Uninitialize = Export<UninitializeFunction>(m_dll, "MAPIUninitialize");
    ASSERT_NE(Initialize, nullptr);
    ASSERT_NE(Uninitialize, nullptr);
  }

  void TearDown() override {
    if (m_dll != nullptr) FreeLibrary(m_dll);
  }

  HMODULE m_dll = nullptr;
  InitializeFunction Initialize = nullptr;
  UninitializeFunction Uninitialize = nullptr;
};

TEST_F(MapiProviderDll, ExportsTheNamesMapi32LooksUp) {
  for (const char* name : {"MAPIInitialize", "MAPIUninitialize", "MAPIAdminProfiles",
                           "MAPIAllocateBuffer", "MAPIAllocateMore", "MAPIFreeBuffer"}) {
    EXPECT_NE(GetProcAddress(m_dll, name), nullptr) << name;
  }
}

TEST_F(MapiProviderDll, TheStartInitializesComOnTheCallingThreadAndTheShutdownEndsIt) {
  OnFreshThread([&] {
    MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
    ASSERT_EQ(Initialize(&init), S_OK);
    EXPECT_TRUE(InSingleThreadedApartment());
    Uninitialize();
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
  });
  OnFreshThread([&] {
    ASSERT_EQ(Initialize(nullptr), S_OK);  // no MAPIINIT_0 at all: the defaults, COM included
    EXPECT_TRUE(InSingleThreadedApartment());
    Uninitialize();
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
  });
}

TEST_F(MapiProviderDll, NestedStartsEndComOnlyWithTheLastShutdown) {
  OnFreshThread([&] {
    MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
    ASSERT_EQ(Initialize(&init), S_OK);
    ASSERT_EQ(Initialize(&init), S_OK);
    Uninitialize();
    EXPECT_TRUE(InSingleThreadedApartment());
    Uninitialize();
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
    Uninitialize();  // one too many: nothing to undo, and no COM taken from anyone
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
  });
}

TEST_F(MapiProviderDll, NoCoInitLeavesComToTheCaller) {
  OnFreshThread([&] {
    MAPIINIT_0 init{MAPI_INIT_VERSION, kMapiNoCoInit};
    ASSERT_EQ(Initialize(&init), S_OK);
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
    Uninitialize();
  });
  OnFreshThread([&] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    MAPIINIT_0 init{MAPI_INIT_VERSION, kMapiNoCoInit};
    ASSERT_EQ(Initialize(&init), S_OK);
    Uninitialize();
    EXPECT_TRUE(InSingleThreadedApartment());  // the caller's own start stays
    CoUninitialize();
  });
}

TEST_F(MapiProviderDll, AThreadInTheMultithreadedApartmentKeepsIt) {
  OnFreshThread([&] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
    ASSERT_EQ(Initialize(&init), S_OK);
    Uninitialize();
    EXPECT_EQ(Apartment(), APTTYPE_MTA);
    CoUninitialize();
  });
}

TEST_F(MapiProviderDll, AFailedStartLeavesComAsItWas) {
  OnFreshThread([&] {
    MAPIINIT_0 init{MAPI_INIT_VERSION + 1, 0};
    EXPECT_EQ(Initialize(&init), kMapiErrorVersion);
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
    Uninitialize();  // nothing was started
    EXPECT_EQ(Apartment(), APTTYPE_CURRENT);
  });
}

}  // namespace
