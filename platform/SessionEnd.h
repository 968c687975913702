#pragma once
// SIGTERM, SIGINT and the end of the X session (the session manager's SaveYourself, or the loss
// of the session manager) all end the program the orderly way: `onEnd` runs on the UI thread
// from the event loop.
#include <functional>

namespace platform {

void installSessionEndHandlers(std::function<void()> onEnd);

// Runs `emergency` if the process exits without the orderly end having run (the X server went
// away and the toolkit exits at once). It must touch files only, never windows.
void installExitSafetyNet(std::function<void()> emergency);
void disarmExitSafetyNet();

} // namespace platform
