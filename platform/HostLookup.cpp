#include "platform/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <QHostAddress>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

// One lookup's answer, on the context's thread. `over` is set once: by the answer, by the
// time-out, or when the answer is destroyed with its context; after that the resolver's thread
// touches nothing of Qt's.
struct Pending {
    std::mutex mutex;
    bool over = false;
};

class Answer : public QObject {
public:
    Answer(QObject* context, std::shared_ptr<Pending> pending,
           std::function<void(std::vector<std::string>)> done)
        : QObject(context), pending_(std::move(pending)), done_(std::move(done)) {}
    ~Answer() override {
        const std::lock_guard lock(pending_->mutex);
        pending_->over = true;
    }
    void give(std::vector<std::string> found) {
        {
            const std::lock_guard lock(pending_->mutex);
            if (pending_->over) {
                return;
            }
            pending_->over = true;
        }
        const auto done = std::move(done_);
        deleteLater();
        done(std::move(found));
    }

private:
    std::shared_ptr<Pending> pending_;
    std::function<void(std::vector<std::string>)> done_;
};

std::vector<std::string> resolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address
    addrinfo* list = nullptr;
    std::vector<std::string> out;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0) {
        return out;
    }
    for (const addrinfo* a = list; a; a = a->ai_next) {
        const QHostAddress address(a->ai_addr);
        const std::string text = address.toString().toStdString();
        if (!address.isNull() && std::find(out.begin(), out.end(), text) == out.end()) {
            out.push_back(text);
        }
    }
    freeaddrinfo(list);
    return out;
}

} // namespace

std::string withoutBrackets(const std::string& host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

void lookUpHost(const std::string& name, QObject* context, int timeoutMs,
                std::function<void(std::vector<std::string>)> done) {
    const std::string bare = withoutBrackets(name);
    if (bare.empty() || !QHostAddress(QString::fromStdString(bare)).isNull()) {
        // An address (or nothing) needs no lookup; still answered later, as a name is.
        QTimer::singleShot(0, context, [bare, done = std::move(done)] {
            done(bare.empty() ? std::vector<std::string>{} : std::vector<std::string>{bare});
        });
        return;
    }
    auto pending = std::make_shared<Pending>();
    auto* answer = new Answer(context, pending, std::move(done));
    QTimer::singleShot(timeoutMs, answer, [answer] { answer->give({}); });
    // Not joined: the program may end while the resolver still waits.
    std::thread([bare, pending, answer] {
        std::vector<std::string> found = resolve(bare);
        const std::lock_guard lock(pending->mutex);
        if (!pending->over) {
            // The answer cannot be destroyed meanwhile: its end waits for this lock, and the
            // event posted here goes with it.
            QMetaObject::invokeMethod(
                answer,
                [answer, found = std::move(found)]() mutable { answer->give(std::move(found)); },
                Qt::QueuedConnection);
        }
    }).detach();
}

} // namespace platform
