#pragma once

#include <functional>

// Every entry point from Qt (slot, event, timer) runs its handler through
// SafeCall so no exception crosses the event loop: EAbort is swallowed, the
// user's own cancel is an information (HostDisplays::showInformation), any
// other exception goes to HostDisplays::showError with its text.
// Returns false when the handler threw.
bool SafeCall(const std::function<void()> &handler) noexcept;
