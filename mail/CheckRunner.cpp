#include "mail/CheckRunner.h"

#include <QMetaObject>
#include <memory>

#include "mail/ImapCheck.h"
#include "mail/MailServer.h"
#include "mail/PopCheck.h"
#include "platform/AppError.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"
#include "platform/SecureStream.h"

namespace mail {
namespace {

// The lookup shares the connect's limit: a name that does not answer within it is not found.
constexpr int kLookupMs = 10000;

std::vector<CheckRunner*>& runners() {
    static std::vector<CheckRunner*> all;
    return all;
}

// Records what the check shows and plays, for the caller's thread to do.
class RecordingView : public MailView {
public:
    explicit RecordingView(CheckOutcome& o) : o_(o) {}
    void setLastModified(const std::string& caption) override {
        o_.modifiedShown = true;
        o_.modified = caption;
    }
    void setReceived(int count, const std::string& caption) override {
        o_.receivedShown = true;
        o_.receivedCount = count;
        o_.received = caption;
    }
    void playNotify(const std::string& file) override { o_.played.push_back(file); }
    std::string now() override { return platform::dateTimeText(platform::systemClock().now()); }

private:
    CheckOutcome& o_;
};

} // namespace

CheckRunner::CheckRunner(QObject* parent) : QObject(parent) {
    runners().push_back(this);
}

CheckRunner::~CheckRunner() {
    stop();
    std::erase(runners(), this);
}

bool CheckRunner::start(const core::Settings& s, bool alarmSounded,
                        std::function<void(CheckOutcome&)> done) {
    if (running_) {
        return false;
    }
    running_ = true;
    stop_ = false;
    const std::string server = s.POPServer;
    platform::lookUpHost(server, this, kLookupMs,
                         [this, s, alarmSounded, done = std::move(done),
                          server](std::vector<std::string> addresses) mutable {
                             if (stop_.load()) {
                                 running_ = false;
                                 return;
                             }
                             if (addresses.empty() && !server.empty()) {
                                 CheckOutcome o;
                                 o.settings = s;
                                 o.error = platform::msgHostNotFound(server);
                                 running_ = false;
                                 done(o);
                                 return;
                             }
                             if (thread_.joinable()) {
                                 thread_.join();
                             }
                             thread_ = std::thread(&CheckRunner::work, this, std::move(addresses),
                                                   std::move(s), alarmSounded, std::move(done));
                         });
    return true;
}

void CheckRunner::work(std::vector<std::string> addresses, core::Settings s, bool alarmSounded,
                       std::function<void(CheckOutcome&)> done) {
    auto o = std::make_shared<CheckOutcome>();
    try {
        platform::SecureStream stream(std::move(addresses), securityOf(s) == Security::Tls, stop_);
        RecordingView view(*o);
        o->line = protocolOf(s) == Protocol::Imap ? CheckImap(stream, s, alarmSounded, view)
                                                  : CheckMail(stream, s, alarmSounded, view);
    } catch (const platform::AppError& e) {
        o->error = e.what();
    } catch (const platform::Interrupted&) {
        return; // called off: nothing is reported
    }
    if (stop_.load()) {
        return;
    }
    o->settings = std::move(s);
    QMetaObject::invokeMethod(
        this,
        [this, o, done = std::move(done)] {
            if (thread_.joinable()) {
                thread_.join();
            }
            running_ = false;
            done(*o);
        },
        Qt::QueuedConnection);
}

void CheckRunner::stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    running_ = false;
}

void stopAllChecks() {
    for (CheckRunner* r : runners()) {
        r->stop();
    }
}

} // namespace mail
