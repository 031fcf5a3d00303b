// A second instance's dealings with the running one: finding its main window, asking it to
// close, and forwarding the start request to it.
#pragma once

#include <windows.h>

#include <string_view>

#include "launcher/launch_plan.h"

namespace qv {

// The running instance's main window: a top-level window whose caption is exactly "Quarvelo"
// (letter case included, so the splash's "QUARVELO" never counts) and whose process runs a
// program file of the same name as ours (programFileName, without its folder), so that an
// Explorer window showing a folder named Quarvelo is never taken for it. A window whose process
// cannot be asked for its program file is judged by its caption alone. nullptr when none.
[[nodiscard]] HWND FindRunningInstanceWindow(std::wstring_view programFileName);

// Sends WM_CLOSE and waits for the answer, at most kCloseReplyTimeoutMs, and not at all once
// the window's thread has stopped taking messages. Whether the window answered.
bool RequestClose(HWND window);

// What a second instance does, in order: find the running instance's window (none: nothing
// more); with plan.closeRunning ask it to close, and when it answered, wait 100 ms and ask once
// more if the window is still there (a request that went unanswered is not repeated: a second
// would only queue behind the first); then post plan.message to the window when it still exists.
void ForwardToRunningInstance(const FORWARD_PLAN& plan, std::wstring_view programFileName);

// The file name part of a path (after its last backslash or slash).
[[nodiscard]] std::wstring_view FileNameOf(std::wstring_view path);

}  // namespace qv
