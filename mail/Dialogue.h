#pragma once
// What the POP3 and IMAP checks share: the time bounds of a dialogue, its spoken failures, the
// new-mail rule and the labels a finished check leaves.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/Settings.h"
#include "mail/PopCheck.h"
#include "platform/TcpClient.h"

namespace mail {

inline const char* const kSendTimeout = "サーバに接続できません（送信タイムアウト）";
inline const char* const kRecvTimeout = "サーバに接続できません（受信タイムアウト）";
inline const char* const kBadPassword = "パスワードが正しくありません．";

// A check ends early with a spoken line.
struct End {
    std::string line;
};

// One connection's dialogue under the time bounds of PopCheck.h.
class Dialogue {
public:
    Dialogue(platform::TcpStream& s, const std::function<std::int64_t()>& now);

    // The greeting is the first exchange; every command starts the next.
    void startExchange();
    // Waits for a reply to begin; ends the check with kSendTimeout when none does.
    void waitReply();
    // One read of at most `max` (at most 4095) bytes, as received; ends the check with
    // kRecvTimeout when nothing comes within the bounds.
    std::string read(size_t max = 4095);
    // A command line: starts an exchange and sends it with its CRLF.
    void send(const std::string& command);
    // More of the current exchange's command, sent as it is.
    void sendMore(const std::string& bytes);

private:
    // `ms`, cut to what is left of the exchange and of the whole check.
    int within(int ms) const;

    platform::TcpStream& stream_;
    const std::function<std::int64_t()>& now_;
    std::int64_t checkEnd_;
    std::int64_t exchangeEnd_ = 0;
};

std::string lower(std::string s);

// The new-mail rule: more messages than at the last check, or a newest message whose ID differs
// from the stored one (IDs compare as the server's bytes; without an ID only the count tells).
// Plays the notification and stores the ID; returns the line to speak or "". LastMailNum is the
// caller's to store.
std::string announce(core::Settings& s, int count, const std::string& countText,
                     const std::optional<std::string>& newestId, bool alarmSounded, MailView& view);

// The labels of a finished check.
void showChecked(MailView& view, int count);

} // namespace mail
