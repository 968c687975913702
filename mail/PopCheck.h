#pragma once
// One mail check: a short POP3 dialogue (USER/PASS or APOP) that learns the maildrop's count and
// the newest message's Message-ID, decides whether mail has arrived, and logs out. It never
// deletes or marks anything.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Settings.h"
#include "platform/TcpClient.h"

namespace mail {

// Reply tokens: the rules of a comma-separated list (blanks and line breaks separate, double
// quotes group, a doubled quote stands for one).
std::vector<std::string> replyTokens(std::string_view reply);
// A reply is accepted when its first token is exactly "+OK".
bool accepted(const std::vector<std::string>& tokens);

// The newest message's ID from the (lower-cased) text of a RETR reply received so far: not
// done while more must be read; an empty ID when the headers ended without one.
struct IdSearch {
    bool done = false;
    std::string id;
};
IdSearch findMessageId(const std::string& lowerText, bool boundReached);

// What the check shows and plays.
class MailView {
public:
    virtual ~MailView() = default;
    virtual void setLastModified(const std::string& caption) = 0;
    // count > 0: red on white "未読メール総数：N通"; otherwise the system colours.
    virtual void setReceived(int count, const std::string& caption) = 0;
    virtual void playNotify(const std::string& file) = 0;
    virtual std::string now() = 0; // the current date-time text
};

constexpr size_t kRetrKeepBytes = 64 * 1024;
// The check runs on the user-interface thread, so time is bounded: a reply waits at most 10 s to
// begin and each read 10 s, an exchange (a command and its whole reply) at most 20 s, the whole
// check at most 30 s.
constexpr int kReplyWaitMs = 10000;
constexpr int kReadWaitMs = 10000;
constexpr int kExchangeMs = 20000;
constexpr int kCheckMs = 30000;

// Runs one check over `stream` and returns the line to speak (empty for nothing). Updates
// LastMessageID and LastMailNum of `s` and the view as the dialogue goes. Socket failures
// raise AppError after the connection is closed. A check interrupted by the session's end
// returns quietly. `steadyMs` is the clock the time bounds are measured by.
std::string CheckMail(platform::TcpStream& stream, core::Settings& s, bool alarmSounded,
                      MailView& view,
                      const std::function<std::int64_t()>& steadyMs = platform::steadyMs);

} // namespace mail
