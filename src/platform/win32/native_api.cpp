#include "platform/win32/native_api.h"

namespace kalinor::platform::native {

namespace {

constexpr Status kProcedureNotFound = static_cast<Status>(0xC000007AL);

using CreateFileEntry = Status(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, IoStatus*,
                                       LARGE_INTEGER*, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using SetInformationEntry = Status(NTAPI*)(HANDLE, IoStatus*, PVOID, ULONG, int);
using StatusToErrorEntry = ULONG(NTAPI*)(Status);

// An ntdll export, or null. ntdll is in every process, so it is never loaded
// here, and never by a search path.
template <typename Entry>
Entry NtdllEntry(const char* name) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

}  // namespace

Status CreateFileAt(HANDLE* file, ACCESS_MASK access, ObjectAttributes* attributes, IoStatus* io,
                    ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options) {
  static const auto entry = NtdllEntry<CreateFileEntry>("NtCreateFile");
  if (entry == nullptr) return kProcedureNotFound;
  return entry(file, access, attributes, io, nullptr, fileAttributes, share, disposition, options,
               nullptr, 0);
}

Status SetFileInformation(HANDLE file, IoStatus* io, void* information, ULONG length,
                          int informationClass) {
  static const auto entry = NtdllEntry<SetInformationEntry>("NtSetInformationFile");
  if (entry == nullptr) return kProcedureNotFound;
  return entry(file, io, information, length, informationClass);
}

DWORD StatusToError(Status status) {
  static const auto entry = NtdllEntry<StatusToErrorEntry>("RtlNtStatusToDosError");
  return entry == nullptr ? ERROR_PROC_NOT_FOUND : entry(status);
}

}  // namespace kalinor::platform::native
