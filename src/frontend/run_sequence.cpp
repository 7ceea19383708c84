#include "frontend/run_sequence.h"

#include <memory>
#include <new>

#include "frontend/command_line.h"
#include "frontend/debug_trace.h"
#include "mapiadmin/message_services.h"
#include "mapiadmin/profile_selection.h"
#include "mapiadmin/service_admin_holder.h"
#include "platform/console.h"

namespace kalinor {
namespace {

// The HRESULT an escaping exception stands for.
HRESULT HResultOf(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const CAtlException& e) {
    return e.m_hr;
  } catch (const _com_error& e) {
    return e.Error();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Creates the holder and starts MAPI; null (reported) when MAPI won't start.
std::unique_ptr<ServiceAdminHolder> StartMapi(const platform::MapiEntryPoints& mapi) {
  try {
    auto holder = std::make_unique<ServiceAdminHolder>();
    MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
    const HRESULT result = mapi.MAPIInitialize(&init);
    if (result != S_OK) {
      DebugTrace(L"Error initializing MAPI: %#X", HResultBits(result));
      throw CAtlException(E_FAIL);
    }
    return holder;
  } catch (...) {
    return nullptr;
  }
}

// Install, or uninstall and clean up; `step` names what is under way for
// the error line should something escape.
void RunAction(const RunSettings& settings, const platform::MapiEntryPoints& mapi,
               const UninstallCleanup& cleanup, ServiceAdminHolder& holder, const wchar_t*& step) {
  step = L"opening the service administration";
  const wchar_t* profile = settings.ProfileName.empty() ? nullptr : settings.ProfileName.c_str();
  const bool opened = OpenServiceAdmin(mapi, holder, profile);
  if (settings.InstallMode) {
    step = L"installing the service";
    if (opened) InstallService(mapi, holder, settings.ServiceName, settings.DisplayName);
    return;
  }
  step = L"uninstalling the service";
  if (opened) UninstallService(mapi, holder, settings.ServiceName);
  step = L"clearing the store settings";
  cleanup.ClearStoreSettings();
  step = L"clearing the archive server address";
  cleanup.ClearArchiveUrl();
}

}  // namespace

int RunKalinor(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi,
               const UninstallCleanup& cleanup) {
  if (IsUsageRequest(args)) {
    PrintUsage();
    return 0;
  }
  const RunSettings settings = ParseArguments(args);
  if (settings.ServiceName.empty()) {
    platform::WriteStandardOutput(L"No service name was specified.");
    return 1;
  }
  std::unique_ptr<ServiceAdminHolder> holder = StartMapi(mapi);
  if (!holder) return 1;

  int exitCode = 0;
  const wchar_t* step = L"starting";
  try {
    RunAction(settings, mapi, cleanup, *holder, step);
  } catch (...) {
    // Whatever escaped, MAPI is still shut down below in the proper order.
    const HRESULT failure = HResultOf(std::current_exception());
    try {
      DebugTrace(L"Error %ls: %#X", step, HResultBits(failure));
    } catch (...) {
    }
    exitCode = 1;
  }
  holder->Release();
  mapi.MAPIUninitialize();
  return exitCode;
}

}  // namespace kalinor
