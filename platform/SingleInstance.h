#pragma once
// One program per data folder. The first start holds a lock in the folder for its whole life
// and listens on a local socket there; a later start finds the lock taken, asks the running
// program to come back and leaves. The kernel drops the lock with its process, so a killed
// program leaves nothing that stands in the way of the next start.
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace platform {

// What the listening side allows its callers. A caller sends one short request at once, so a
// connection that stays silent is a stray or a hostile one: each costs a descriptor.
struct InstanceLimits {
    int deadlineMs = 2000; // a connection is closed when it has not asked by then
    int maxPeers = 16;     // connections open at once; further ones are closed at once
    // How often a lost listening socket is looked for (and made anew): while connections are
    // open or it is lost, and while none are.
    int relistenMs = 1000;
    int idleCheckMs = 10000;
};

class SingleInstance {
public:
    // Tries to take the lock of `dir`.
    explicit SingleInstance(const std::string& dir);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // No other process holds the folder (also when the lock could not be made at all, or when
    // there is no private place for the socket: a folder that cannot hold a lock cannot hold the
    // settings either, and she says so herself).
    bool isPrimary() const { return primary_; }
    // The first start: from now on each later start of the same user runs `restore` in the
    // event loop.
    void listen(std::function<void()> restore, InstanceLimits limits = {});
    // A later start: asks the running program to come back. False when it cannot be reached
    // within `timeoutMs`, or when the socket is served by another user.
    bool askToRestore(int timeoutMs = 5000);

private:
    void listenNow();
    void acceptPending();
    void serve(QLocalSocket* peer);
    void watchClosely();

    std::string socketPath_;
    int lockFd_ = -1;
    bool primary_ = true;
    QLocalServer* server_ = nullptr;
    QTimer* watch_ = nullptr;
    std::function<void()> restore_;
    InstanceLimits limits_;
    int openPeers_ = 0;
    bool lost_ = false; // the listening socket is gone and has not been made anew yet
};

// Where the folder's socket lives: in the folder itself while the path fits a socket address,
// else a name made from the folder's real path in a folder only this user can enter:
// $XDG_RUNTIME_DIR, or "nagomi-<uid>" in the temporary folder. Empty when neither is safe to use
// (another owner, wider access, a link); `whyNone` then says why.
std::string instanceSocketPath(const std::string& dir, std::string* whyNone = nullptr);

} // namespace platform
