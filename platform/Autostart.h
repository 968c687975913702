#pragma once
// Starting with the desktop: an entry in the desktop's autostart folder
// ($XDG_CONFIG_HOME/autostart, or ~/.config/autostart), the same one the launcher's
// `--autostart on` writes. The folder is the only record: nothing is kept elsewhere.
#include <string>

namespace platform {

// The entry's path, or "" when neither XDG_CONFIG_HOME (absolute) nor HOME names a place.
std::string autostartEntryPath();

// The entry exists (whatever wrote it).
bool autostartEnabled();

// The entry to write for the program at `program` started in `workDir`: the installed desktop
// entry when the program is an installed one (it names the launcher, which prepares the data
// folder), otherwise an entry that starts the program itself in `workDir`.
std::string autostartEntryText(const std::string& program, const std::string& workDir);

// Creates (with the text above for this process) or removes the entry. An entry that is already
// as asked is left untouched, so a user's own edits to it survive. Returns the error box
// message, or "" when done.
std::string setAutostart(bool on);

} // namespace platform
