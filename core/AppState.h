#pragma once
// Process-wide values of the core, behind accessors so tests can reset them.
#include <string>

namespace core {

// The working directory when the character window was created; the settings file goes there.
std::string& StartDir();
// Set by the hide command, cleared by a tray double-click; the balloon stays hidden while set.
bool& IsHidden();
// Set while her windows are out of the way of a full-screen window; the balloon stays hidden too.
bool& IsHiddenForFullscreen();
// Set whenever an alarm sound starts and never cleared in a run; silences new-mail sounds.
bool& IsAlermSounded();

void resetAppState();

constexpr const char* kSettingsFileName = "pikmain.ini";
constexpr const char* kLogFileName = "piklog.txt";
constexpr const char* kAppTitle = "なごみ";

} // namespace core
