#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int openRegularFile(const std::string& path, int flags, unsigned createMode) {
    // Looked at before opening: opening a device can itself have effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    // O_NONBLOCK: the name may have been swapped for a FIFO since, whose open would wait for a
    // writer.
    const int fd =
        ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(createMode));
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // Regular files never block; the flag is dropped so writes behave as usual.
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) {
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    }
    return fd;
}

std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes) {
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string out;
    char buf[65536];
    while (out.size() < maxBytes) {
        size_t want = std::min(sizeof buf, maxBytes - out.size());
        ssize_t n = ::read(fd, buf, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

namespace {

// Temporary names: "<file>.nagomi-XXXXXX", beside the file they replace.
constexpr std::string_view kTempMark = ".nagomi-";

bool isTempSuffix(std::string_view suffix) {
    if (suffix.size() != 6) {
        return false;
    }
    for (char c : suffix) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) {
            return false;
        }
    }
    return true;
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

} // namespace

std::string resolveLinks(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return at;
        }
        std::vector<char> buf(static_cast<size_t>(PATH_MAX) + 1);
        const ssize_t n = ::readlink(at.c_str(), buf.data(), buf.size() - 1);
        if (n <= 0) {
            return at;
        }
        std::string link(buf.data(), static_cast<size_t>(n));
        if (link[0] != '/') {
            const size_t slash = at.find_last_of('/');
            link = slash == std::string::npos ? link : at.substr(0, slash + 1) + link;
        }
        at = link;
    }
    return at;
}

AtomicFile::AtomicFile(const std::string& path, unsigned mode) : target_(resolveLinks(path)) {
    std::string tmpl = target_ + std::string(kTempMark) + "XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        return;
    }
    temp_ = name.data();
    ok_ = ::fchmod(fd_, static_cast<mode_t>(mode)) == 0;
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void AtomicFile::write(std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (ok() && left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok_ = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

bool AtomicFile::commit() {
    if (fd_ < 0) {
        return false;
    }
    bool done = ok_ && ::fsync(fd_) == 0;
    done = (::close(fd_) == 0) && done;
    fd_ = -1;
    done = done && ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (done) {
        temp_.clear();
    }
    return done;
}

std::string readTail(int fd, std::size_t maxBytes, bool& fromStart) {
    struct stat st {};
    fromStart = true;
    if (::fstat(fd, &st) != 0) {
        return {};
    }
    const auto size = static_cast<std::size_t>(std::max<off_t>(st.st_size, 0));
    const std::size_t want = std::min(size, maxBytes);
    const auto from = static_cast<off_t>(size - want);
    fromStart = from == 0;
    std::string out(want, '\0');
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd, out.data() + got, want - got, from + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return out;
}

bool writeFileAtomic(const std::string& path, std::string_view bytes, unsigned mode) {
    AtomicFile file(path, mode);
    file.write(bytes);
    return file.commit();
}

bool isLeftoverTempName(std::string_view name) {
    const size_t mark = name.rfind(kTempMark);
    if (mark != std::string_view::npos && mark > 0 &&
        isTempSuffix(name.substr(mark + kTempMark.size()))) {
        return true;
    }
    // Earlier versions wrote "<file>.XXXXXX" for the settings, the log and the masks. A suffix
    // that is one plain lower-case word ("backup") is a user's name, not mkstemp's.
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || !isTempSuffix(name.substr(dot + 1))) {
        return false;
    }
    const std::string_view base = name.substr(0, dot);
    const std::string_view suffix = name.substr(dot + 1);
    bool plainWord = true;
    for (char c : suffix) {
        plainWord = plainWord && c >= 'a' && c <= 'z';
    }
    return !plainWord && (base == "pikmain.ini" || base == "piklog.txt" ||
                          (base.size() > 4 && endsWith(base, ".msk")));
}

int removeLeftoverTempFiles(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(d)) {
        if (!isLeftoverTempName(e->d_name)) {
            continue;
        }
        const std::string path = joinPath(dir, e->d_name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    ::closedir(d);
    return removed;
}

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_size < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool moveAside(const std::string& path, const std::string& aside) {
    return ::rename(path.c_str(), aside.c_str()) == 0 || errno == ENOENT;
}

unsigned fileMode(const std::string& path, unsigned fallback) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return fallback;
    }
    return static_cast<unsigned>(st.st_mode & 07777);
}

std::string currentDirectory() {
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf) == nullptr) {
        return ".";
    }
    return buf;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (!name.empty() && name[0] == '/') {
        return name;
    }
    if (dir.empty()) {
        return name;
    }
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string fileExtension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    return path.substr(dot + 1);
}

} // namespace platform
