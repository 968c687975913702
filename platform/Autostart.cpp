#include "platform/Autostart.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AppError.h"
#include "platform/Files.h"

namespace platform {
namespace {

constexpr const char* kEntryName = "nagomi.desktop";

std::string configHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        return xdg; // a relative value is to be ignored
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        return std::string(home) + "/.config";
    }
    return {};
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Exec and Path values are quoted for the desktop entry format: inside double quotes, `"`, `` ` ``,
// `$` and `\` are escaped with a backslash (and `%` is doubled in Exec).
std::string quoted(const std::string& s, bool exec) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
        } else if (exec && c == '%') {
            out += '%';
        }
        out += c;
    }
    return out + "\"";
}

// One line of a value: a line break in a path would end the entry's line early.
bool oneLine(const std::string& s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

bool makeFolder(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) {
        struct stat st {};
        return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (errno == ENOENT && dir != "/" && makeFolder(parentOf(dir))) {
        return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
    }
    return false;
}

std::string selfPath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

} // namespace

std::string autostartEntryPath() {
    const std::string home = configHome();
    return home.empty() ? std::string() : home + "/autostart/" + kEntryName;
}

bool autostartEnabled() {
    const std::string path = autostartEntryPath();
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string autostartEntryText(const std::string& program, const std::string& workDir) {
    // An installed program sits in PREFIX/libexec/nagomi; its entry in PREFIX/share/applications.
    const std::string folder = parentOf(program);
    const std::string prefix = parentOf(parentOf(folder));
    if (!program.empty() && folder.ends_with("/nagomi")) {
        const std::string installed = prefix + "/share/applications/" + kEntryName;
        if (auto text = readFile(installed, std::size_t{64} << 10)) {
            return *text;
        }
    }
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Nagomi\n"
                       "Name[ja]=なごみ\n"
                       "Comment=A companion on your desktop\n";
    text += "Exec=" + quoted(program, true) + "\n";
    if (!workDir.empty() && oneLine(workDir)) {
        text += "Path=" + workDir + "\n"; // she has no command line: her folder is where she runs
    }
    text += "Icon=nagomi\nTerminal=false\n";
    return text;
}

std::string setAutostart(bool on) {
    const std::string path = autostartEntryPath();
    if (path.empty()) {
        return msgCannotCreate("autostart/" + std::string(kEntryName));
    }
    if (on == autostartEnabled()) {
        return {};
    }
    if (!on) {
        return ::unlink(path.c_str()) == 0 || errno == ENOENT ? std::string()
                                                              : msgCannotCreate(path);
    }
    const std::string program = selfPath();
    if (program.empty() || !oneLine(program) || !makeFolder(parentOf(path)) ||
        !writeFileAtomic(path, autostartEntryText(program, currentDirectory()), 0644)) {
        return msgCannotCreate(path);
    }
    return {};
}

} // namespace platform
