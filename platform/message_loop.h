#pragma once
namespace vantrell {
// Lets the host process its pending window messages once: peeks and dispatches until the
// thread's queue is empty. A WM_QUIT found on the way is put back for the host's own loop.
void ProcessPendingMessages() noexcept;
}  // namespace vantrell
