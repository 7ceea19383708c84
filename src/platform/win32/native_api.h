// The few native (ntdll) calls and file-information records the held folder
// uses, declared here under the project's own names and resolved from ntdll
// at run time. MinGW-w64's winternl.h declares them; the Windows SDK's does
// not (NtSetInformationFile is the WDK's), and the SDK declares the extended
// disposition and rename records only for Windows 10 targets. Declaring them
// once here makes the code compile the same against either header set.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kalinor::platform::native {

using Status = LONG;  // NTSTATUS

/// UNICODE_STRING: a counted name, at most 32,767 characters.
struct CountedName {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};

/// OBJECT_ATTRIBUTES: a name relative to a root folder handle.
struct ObjectAttributes {
  ULONG Length;
  HANDLE RootDirectory;
  CountedName* ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
};

/// IO_STATUS_BLOCK.
struct IoStatus {
  union {
    Status Code;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};

/// FILE_RENAME_INFORMATION (and its Ex form, whose first member is a flag
/// word in place of the boolean), followed by FileNameLength bytes of name.
struct RenameRecord {
  union {
    BOOLEAN ReplaceIfExists;
    ULONG Flags;
  };
  HANDLE RootDirectory;
  ULONG FileNameLength;
  WCHAR FileName[1];
};

/// FILE_DISPOSITION_INFORMATION_EX.
struct DispositionRecordEx {
  ULONG Flags;
};

/// REPARSE_DATA_BUFFER's header, and the four offsets and lengths (in bytes,
/// into the path buffer after them) of its symbolic-link and mount-point
/// forms; a symbolic link's ULONG flags come between them and the path
/// buffer. The WDK's ntifs.h declares the record; the SDK does not.
struct ReparseHeader {
  ULONG Tag;
  USHORT DataLength;
  USHORT Reserved;
};
struct ReparseNames {
  USHORT SubstituteOffset;
  USHORT SubstituteLength;
  USHORT PrintOffset;
  USHORT PrintLength;
};
/// A symbolic link's target is relative to the link's folder.
inline constexpr ULONG kSymlinkFlagRelative = 1;

// Object attributes.
inline constexpr ULONG kObjCaseInsensitive = 0x00000040;
inline constexpr ULONG kObjDontReparse = 0x00001000;

// NtCreateFile's create dispositions and options.
inline constexpr ULONG kFileOpen = 1;
inline constexpr ULONG kFileCreate = 2;
inline constexpr ULONG kFileDirectoryFile = 0x00000001;
inline constexpr ULONG kFileSynchronousIoNonalert = 0x00000020;
inline constexpr ULONG kFileNonDirectoryFile = 0x00000040;
inline constexpr ULONG kFileOpenReparsePoint = 0x00200000;

// FILE_INFORMATION_CLASS values for NtSetInformationFile.
inline constexpr int kFileRenameInformation = 10;
inline constexpr int kFileRenameInformationEx = 65;

// SetFileInformationByHandle's FileDispositionInfoEx and its flags.
inline constexpr int kFileDispositionInfoEx = 21;
inline constexpr ULONG kDispositionDelete = 0x00000001;
inline constexpr ULONG kDispositionPosixSemantics = 0x00000002;

// FILE_RENAME_INFORMATION_EX flags.
inline constexpr ULONG kRenameReplaceIfExists = 0x00000001;
inline constexpr ULONG kRenamePosixSemantics = 0x00000002;

/// The most bytes a counted name can hold.
inline constexpr std::size_t kMaxCountedNameBytes = 0xFFFE;

/// NtCreateFile. STATUS_PROCEDURE_NOT_FOUND (0xC000007A) when ntdll lacks it.
Status CreateFileAt(HANDLE* file, ACCESS_MASK access, ObjectAttributes* attributes, IoStatus* io,
                    ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options);

/// NtSetInformationFile with a FILE_INFORMATION_CLASS value; as above when
/// missing.
Status SetFileInformation(HANDLE file, IoStatus* io, void* information, ULONG length,
                          int informationClass);

/// RtlNtStatusToDosError: the Win32 error for a status (ERROR_MR_MID_NOT_FOUND
/// for one it does not know; ERROR_PROC_NOT_FOUND when ntdll lacks it).
DWORD StatusToError(Status status);

}  // namespace kalinor::platform::native
