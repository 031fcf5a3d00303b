// System Restore as the repair uses it: one restore point around the repair's changes, and what
// the system really did with the request.
//
// Since Windows 8 the system makes no new point when one was made in the last 24 hours (the
// DWORD SystemRestorePointCreationFrequency of the key
// HKLM\Software\Microsoft\Windows NT\CurrentVersion\SystemRestore changes the span, in
// minutes; 0 never skips): the call still succeeds, with ERROR_SUCCESS and the sequence number
// of that earlier point. The call alone cannot tell the two apart, so the points listed before
// the call decide: a number above every one listed is a new point, any other is an earlier one.
// When the points cannot be listed, a new point is never claimed. docs/restore-points.md names
// the sources.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qv {

// The restore point's description and the values passed with it.
inline constexpr wchar_t kRestorePointDescription[] = L"Quarvelo Backup";
inline constexpr std::uint32_t kRestorePointBeginSystemChange = 100;  // BEGIN_SYSTEM_CHANGE
inline constexpr std::uint32_t kRestorePointEndSystemChange = 101;    // END_SYSTEM_CHANGE
inline constexpr std::uint32_t kRestorePointModifySettings = 12;      // MODIFY_SETTINGS

// The status codes a refused request reports (STATEMGRSTATUS.nStatus), with their Win32 values.
inline constexpr std::uint32_t kRestoreStatusSuccess = 0;             // ERROR_SUCCESS
inline constexpr std::uint32_t kRestoreStatusSafeMode = 10;           // ERROR_BAD_ENVIRONMENT
inline constexpr std::uint32_t kRestoreStatusInvalidSequence = 13;    // ERROR_INVALID_DATA
inline constexpr std::uint32_t kRestoreStatusDiskFull = 112;          // ERROR_DISK_FULL (standby)
inline constexpr std::uint32_t kRestoreStatusServiceDisabled = 1058;  // ERROR_SERVICE_DISABLED
inline constexpr std::uint32_t kRestoreStatusInternalError = 1359;    // ERROR_INTERNAL_ERROR
inline constexpr std::uint32_t kRestoreStatusTimeout = 1460;          // ERROR_TIMEOUT

enum class RESTORE_POINT_RESULT {
  kCreated,      // the system made a new point (sequenceNumber)
  kReused,       // the request succeeded, but no new point can be shown: the system keeps an
                 // earlier one (sequenceNumber; its time when listed), or it could not be told
  kFailed,       // the request was refused (status; kRestoreStatusServiceDisabled: turned off)
  kUnavailable,  // no System Restore client (the library or its function is missing)
};

// What became of one request.
struct RESTORE_POINT_OUTCOME {
  RESTORE_POINT_RESULT result = RESTORE_POINT_RESULT::kUnavailable;
  std::int64_t sequenceNumber = 0;    // kCreated, kReused: the number the system returned
  std::optional<std::int64_t> time;   // kReused: when that point was made (seconds since 1970 UTC)
  std::uint32_t status = 0;           // kFailed: the system's status code
  // kCreated, kReused: whether the end of the change was accepted too. The point exists from the
  // first call on; a refused end is reported, it does not undo the point.
  bool ended = true;
  std::uint32_t endStatus = 0;        // the end's status code when it was refused
};

// A restore point as the system lists it.
struct LISTED_RESTORE_POINT {
  std::int64_t sequenceNumber = 0;
  std::optional<std::int64_t> time;  // seconds since 1970 UTC; none when not given or not readable
};

class ISystemRestore {
 public:
  virtual ~ISystemRestore() = default;
  // Asks for a restore point: SRSetRestorePointW of the system's "SRCLIENT.DLL" with
  // BEGIN_SYSTEM_CHANGE, MODIFY_SETTINGS, sequence 0 and the description; when that succeeded,
  // again with END_SYSTEM_CHANGE and the sequence number the first call returned. The points
  // listed just before the first call decide whether the number is a new point
  // (JudgeAcceptedRequest).
  [[nodiscard]] virtual RESTORE_POINT_OUTCOME CreateRestorePoint(std::wstring_view description) = 0;
};

// The outcome of a request the system accepted with `sequenceNumber`, judged by the points listed
// before it (none: they could not be listed). kCreated only when the number is above every
// listed one (or none was listed and the list was read); otherwise kReused, with the listed time
// of that point when there is one.
[[nodiscard]] RESTORE_POINT_OUTCOME JudgeAcceptedRequest(
    const std::optional<std::vector<LISTED_RESTORE_POINT>>& before, std::int64_t sequenceNumber);

// A WMI date and time ("yyyymmddHHMMSS.mmmmmmsUUU": local time, then the sign and the minutes
// of its offset from UTC) as seconds since 1970 UTC; false for any other text (a field of
// asterisks, an impossible date) and `seconds` is then left alone.
[[nodiscard]] bool ParseWmiDateTime(std::wstring_view text, std::int64_t* seconds);

}  // namespace qv
