// The test executables' entry point on Windows. In the tool, MAPI's start
// initialises COM on the main thread and the XML document relies on it; the
// tests run without MAPI, so they initialise COM themselves, as MAPI does
// (single-threaded apartment).
#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}
