#pragma once
// Runs a mail check away from the user-interface thread: the server's name is looked up without
// blocking, the dialogue runs on a worker thread of its own with a copy of the settings, and what
// it learnt comes back to the caller's thread when it is over. One check at a time; a check
// called off (the program ending) stops within a slice of its waits.
#include <QObject>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/Settings.h"

namespace mail {

// What a check did, for the caller to apply on its own thread.
struct CheckOutcome {
    std::string line;  // to speak; empty for nothing
    std::string error; // for the error box; empty when the check ended normally
    bool modifiedShown = false;
    std::string modified; // "最終チェック日時：..."
    bool receivedShown = false;
    int receivedCount = 0;
    std::string received; // "未読メール総数：..."
    std::vector<std::string> played;
    core::Settings settings; // the copy the check ran with, LastMailNum and LastMessageID updated
};

class CheckRunner : public QObject {
    Q_OBJECT
public:
    explicit CheckRunner(QObject* parent = nullptr);
    ~CheckRunner() override;

    // Starts a check; false (and nothing done) while one is running. `done` runs on this
    // object's thread once the check is over, unless it was called off.
    bool start(const core::Settings& s, bool alarmSounded, std::function<void(CheckOutcome&)> done);
    bool running() const { return running_; }
    // Calls off a running check and waits for its thread, which ends within one slice.
    void stop();

private:
    void work(std::vector<std::string> addresses, core::Settings s, bool alarmSounded,
              std::function<void(CheckOutcome&)> done);

    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
};

// The one check the program itself runs (through its mail window), for shutting it down.
void stopAllChecks();

} // namespace mail
