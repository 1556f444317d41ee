#pragma once

#include <functional>

/// Runs the Qt event loop of the calling (main) thread until done() is true.
/// Returns false if that takes longer than timeoutMs: a hang, not a measure.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 20000);

/// Like SpinUntil, but runs a real event loop that waits for events, so the
/// application goes idle in between (what updates actions on idle).
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000);

/// Lets the event loop go idle once.
void GoIdle();
