#include "frontend/per_user_step.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/held_folder.h"
#include "platform/registry.h"
#include "platform/special_folders.h"

namespace kalinor {
namespace {

// The record's whole content: what was last done.
constexpr char kInstalledText[] = "installed\n";
constexpr char kRemovedText[] = "removed\n";
constexpr char kRemovedWithPackageText[] = "removed with the package\n";

std::wstring RecordName(const std::wstring& serviceName) {
  const std::wstring name = serviceName + L".state";
  return platform::IsPlainFileName(name) ? name : std::wstring();
}

}  // namespace

std::wstring PerUserFolder() {
  const std::wstring local = platform::GetSpecialFolderPath(platform::kCsidlLocalAppData,
                                                            platform::SpecialFolderCreation::kNone);
  return local.empty() ? std::wstring() : platform::JoinPath(local, L"Kalinor");
}

std::wstring PerUserLogPath() {
  const std::wstring folder = PerUserFolder();
  return folder.empty() ? std::wstring() : platform::JoinPath(folder, L"kalinor.log");
}

PerUserState ReadPerUserState(const std::wstring& serviceName) {
  const std::wstring name = RecordName(serviceName);
  const std::wstring folder = PerUserFolder();
  if (name.empty()) return PerUserState::kNone;
  if (folder.empty()) return PerUserState::kUnreadable;
  const platform::HeldFolder held = platform::HeldFolder::Open(folder);
  if (!held.IsHeld())
    return held.OpenError().Kind() == platform::ErrorKind::kNotFound ? PerUserState::kNone
                                                                     : PerUserState::kUnreadable;
  std::string bytes;
  if (const platform::SystemError error = held.ReadWhole(name, bytes, 64); error.Failed())
    return error.Kind() == platform::ErrorKind::kNotFound ? PerUserState::kNone
                                                          : PerUserState::kUnreadable;
  if (bytes == kInstalledText) return PerUserState::kInstalled;
  if (bytes == kRemovedText) return PerUserState::kRemoved;
  if (bytes == kRemovedWithPackageText) return PerUserState::kRemovedWithPackage;
  return PerUserState::kNone;
}

bool WritePerUserState(const std::wstring& serviceName, PerUserState state) {
  const std::wstring name = RecordName(serviceName);
  const std::wstring folder = PerUserFolder();
  const char* text = state == PerUserState::kInstalled            ? kInstalledText
                     : state == PerUserState::kRemoved            ? kRemovedText
                     : state == PerUserState::kRemovedWithPackage ? kRemovedWithPackageText
                                                                  : nullptr;
  if (name.empty() || folder.empty() || text == nullptr ||
      platform::CreateFolderWithParents(folder).Failed())
    return false;
  const platform::HeldFolder held = platform::HeldFolder::Open(folder);
  return held.IsHeld() &&
         !held.WriteAtomically(name, text, platform::ExistingFile::kReplace).Failed();
}

void UsePerUserLogUnlessSet() {
  const std::wstring log = PerUserLogPath();
  if (log.empty() || platform::LookUpEnvironmentVariable(L"KALINOR_LOG")) return;
  if (platform::CreateFolderWithParents(PerUserFolder()).Failed()) return;
  platform::SetEnvironmentVariableText(L"KALINOR_LOG", log);
}

platform::RegistryPresence PackagePresence() {
  return platform::LookUpRegistryValue(platform::RegistryRoot::LocalMachine, L"Software\\Kalinor",
                                       L"ServiceName");
}

}  // namespace kalinor
