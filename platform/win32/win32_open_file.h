// What the two sources of the Win32 file system (win32_file_system.h) share: the open file it
// hands out (an IFile over a CreateFileW handle), the facts of the entry a handle is open on, and
// the counting of calls. Only win32_file_system.cpp and win32_file_trust.cpp include this.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/file_system.h"

namespace qv::win32_files {

inline void Count(std::atomic<std::uint64_t>& counter) {
  counter.fetch_add(1, std::memory_order_relaxed);
}

inline ErrorCode LastError(BOOL ok) {
  return ok ? ERROR_SUCCESS : static_cast<ErrorCode>(::GetLastError());
}

// The open file over the handle, which it owns from now on (closed with it). `append`: every
// write goes to the end of the file.
[[nodiscard]] std::unique_ptr<IFile> MakeOpenFile(HANDLE handle, bool append);

// The kind, size, owner and access list of the entry the handle is open on (the handle needs
// READ_CONTROL and FILE_READ_ATTRIBUTES).
[[nodiscard]] ErrorCode InfoOfHandle(HANDLE handle, CPathInfo* info);

}  // namespace qv::win32_files
