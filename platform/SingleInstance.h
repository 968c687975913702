#pragma once
// One program per data folder. The first start holds a lock in the folder for its whole life
// and listens on a local socket there; a later start finds the lock taken, asks the running
// program to come back and leaves. The kernel drops the lock with its process, so a killed
// program leaves nothing that stands in the way of the next start.
#include <functional>
#include <string>

class QLocalServer;

namespace platform {

class SingleInstance {
public:
    // Tries to take the lock of `dir`.
    explicit SingleInstance(const std::string& dir);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // No other process holds the folder (also when the lock could not be made at all: a folder
    // that cannot hold a lock cannot hold the settings either, and she says so herself).
    bool isPrimary() const { return primary_; }
    // The first start: from now on each later start runs `restore` in the event loop.
    void listen(std::function<void()> restore);
    // A later start: asks the running program to come back. False when it cannot be reached
    // within `timeoutMs`.
    bool askToRestore(int timeoutMs = 5000);

private:
    std::string socketPath_;
    int lockFd_ = -1;
    bool primary_ = true;
    QLocalServer* server_ = nullptr;
    std::function<void()> restore_;
};

// Where the folder's socket lives: in the folder itself while the path fits a socket address,
// else a name in the temporary folder made from the folder's real path.
std::string instanceSocketPath(const std::string& dir);

} // namespace platform
