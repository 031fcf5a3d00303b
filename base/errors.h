// Win32 error codes that the system returns, with their Windows values. Portable code uses these
// names; Win32 code may equally use the <windows.h> macros, which have the same values.
#pragma once

#include <cstdint>

namespace qv {

using ErrorCode = long;  // 0 = success, otherwise a Win32 error code

inline constexpr ErrorCode kErrorSuccess = 0;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorInvalidHandle = 6;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorInvalidData = 13;
inline constexpr ErrorCode kErrorNoMoreFiles = 18;
inline constexpr ErrorCode kErrorNotReady = 21;  // a drive without its medium
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorBadNetPath = 53;
inline constexpr ErrorCode kErrorNotSupported = 50;
inline constexpr ErrorCode kErrorFileExists = 80;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorInsufficientBuffer = 122;
inline constexpr ErrorCode kErrorDiskFull = 112;
inline constexpr ErrorCode kErrorFileTooLarge = 223;
inline constexpr ErrorCode kErrorDirNotEmpty = 145;
inline constexpr ErrorCode kErrorBadPathname = 161;
inline constexpr ErrorCode kErrorAlreadyExists = 183;
inline constexpr ErrorCode kErrorMoreData = 234;
inline constexpr ErrorCode kErrorDirectory = 267;  // a folder operation on a file
inline constexpr ErrorCode kErrorNoMoreItems = 259;
inline constexpr ErrorCode kErrorKeyDeleted = 1018;
inline constexpr ErrorCode kErrorKeyHasChildren = 1020;
// ERROR_STACK_OVERFLOW ("Recursion too deep"): a registry tree deeper than any walk descends.
inline constexpr ErrorCode kErrorStackOverflow = 1001;
inline constexpr ErrorCode kErrorCantWrite = 1013;
inline constexpr ErrorCode kErrorResourceTypeNotFound = 1813;
inline constexpr ErrorCode kErrorTimeout = 1460;
inline constexpr ErrorCode kErrorNoUnicodeTranslation = 1113;
// The owner of a file or folder is no account the program trusts.
inline constexpr ErrorCode kErrorInvalidOwner = 1307;
// The object manager met a reparse point (a registry link) where none may be followed.
inline constexpr ErrorCode kErrorReparsePointEncountered = 4395;
// ERROR_STOPPED_ON_SYMLINK: a path leads through a junction or symbolic link where it may not (an
// open handle's final path is not the path that was asked for).
inline constexpr ErrorCode kErrorStoppedOnSymlink = 681;

}  // namespace qv
