#pragma once

#include <functional>

/// Runs the Qt event loop of the calling (main) thread until done() is true.
/// Returns false if that takes longer than timeoutMs: a hang, not a measure.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 20000);
