#include "mail/PopCheck.h"

#include <algorithm>
#include <cstring>

#include "mail/MailServer.h"
#include "mail/Md5unit.h"
#include "platform/AppError.h"

namespace mail {
namespace {

const char* const kSendTimeout = "サーバに接続できません（送信タイムアウト）";
const char* const kRecvTimeout = "サーバに接続できません（受信タイムアウト）";
const char* const kBadUser = "ユーザ名が誤っています．";
const char* const kBadPassword = "パスワードが正しくありません．";
// A CAPA reply longer than this tells nothing a check needs.
constexpr size_t kCapaBytes = 16 * 1024;

bool blank(unsigned char c) {
    return c >= 1 && c <= 32;
}

// A check ends early with a spoken line.
struct End {
    std::string line;
};

class Dialogue {
public:
    Dialogue(platform::TcpStream& s, const std::function<std::int64_t()>& now)
        : stream_(s), now_(now), checkEnd_(now() + kCheckMs) {
        startExchange();
    }

    // The greeting is the first exchange; every command starts the next.
    void startExchange() { exchangeEnd_ = now_() + kExchangeMs; }

    void waitReply() {
        const int ms = within(kReplyWaitMs);
        if (ms <= 0 || !stream_.wait(ms)) {
            throw End{kSendTimeout};
        }
    }
    // One read into a zeroed buffer; the text runs to the first zero byte.
    std::string read(size_t max = 4095) {
        const int ms = within(kReadWaitMs);
        if (ms <= 0) {
            throw End{kRecvTimeout}; // a server that drips its reply ends here
        }
        char buf[4096];
        std::memset(buf, 0, sizeof buf);
        const size_t n = stream_.read(buf, max < 4095 ? max : 4095, ms);
        if (n == 0) {
            throw End{kRecvTimeout};
        }
        return std::string(buf, strnlen(buf, n));
    }
    std::vector<std::string> reply() {
        waitReply();
        return replyTokens(read());
    }
    void send(const std::string& command) {
        startExchange();
        stream_.send(command + "\r\n");
    }

private:
    // `ms`, cut to what is left of the exchange and of the whole check.
    int within(int ms) const {
        const std::int64_t left = std::min(exchangeEnd_, checkEnd_) - now_();
        return static_cast<int>(std::max<std::int64_t>(0, std::min<std::int64_t>(ms, left)));
    }

    platform::TcpStream& stream_;
    const std::function<std::int64_t()>& now_;
    std::int64_t checkEnd_;
    std::int64_t exchangeEnd_ = 0;
};

bool wholeNumber(const std::string& t, int& out) {
    if (t.empty() || t.size() > 9) {
        return false;
    }
    int v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

// STLS once CAPA offers it; without it nothing of the log-in is sent. Bytes the server sends
// with its +OK are read with it and dropped, the stream drops the rest.
void startTls(Dialogue& d, platform::TcpStream& stream) {
    d.send("CAPA");
    d.waitReply();
    std::string capa = lower(d.read());
    const bool ok = capa.starts_with("+ok");
    while (ok && capa.find("\n.\r\n") == std::string::npos &&
           capa.find("\n.\n") == std::string::npos && capa.size() < kCapaBytes) {
        capa += lower(d.read());
    }
    const bool offered = ok && (capa.find("\nstls\r") != std::string::npos ||
                                capa.find("\nstls\n") != std::string::npos);
    if (!offered) {
        throw platform::AppError(kNoStartTls);
    }
    d.send("STLS");
    if (!accepted(d.reply())) {
        throw platform::AppError(kNoStartTls);
    }
    stream.startTls();
}

} // namespace

std::vector<std::string> replyTokens(std::string_view r) {
    std::vector<std::string> tokens;
    size_t i = 0;
    auto at = [&](size_t k) -> unsigned char {
        return k < r.size() ? static_cast<unsigned char>(r[k]) : 0;
    };
    while (blank(at(i))) {
        ++i;
    }
    while (at(i) != 0) {
        std::string token;
        if (at(i) == '"') {
            ++i;
            while (at(i) != 0) {
                if (at(i) == '"') {
                    if (at(i + 1) == '"') {
                        token += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token += static_cast<char>(at(i));
                ++i;
            }
        } else {
            while (at(i) >= 33 && at(i) != ',') {
                token += static_cast<char>(at(i));
                ++i;
            }
        }
        tokens.push_back(token);
        while (blank(at(i))) {
            ++i;
        }
        if (at(i) == ',') {
            ++i;
            while (blank(at(i))) {
                ++i;
            }
        }
    }
    return tokens;
}

bool accepted(const std::vector<std::string>& tokens) {
    return !tokens.empty() && tokens[0] == "+OK";
}

IdSearch findMessageId(const std::string& text, bool boundReached) {
    // Only the header block counts: up to the blank line that ends it, or the reply's end.
    size_t headerEnd = std::string::npos;
    for (const char* end : {"\r\n\r\n", "\n\n", "\r\n.\r\n"}) {
        const size_t p = text.find(end);
        if (p != std::string::npos && (headerEnd == std::string::npos || p < headerEnd)) {
            headerEnd = p;
        }
    }
    const std::string_view headers(text.data(),
                                   headerEnd == std::string::npos ? text.size() : headerEnd);
    const size_t key = headers.find("message-id:");
    const bool finished = headerEnd != std::string::npos || boundReached;
    if (key == std::string::npos) {
        return finished ? IdSearch{true, ""} : IdSearch{false, ""};
    }
    std::string_view rest = headers.substr(key + std::strlen("message-id:"));
    const size_t close = rest.find('>');
    if (close == std::string_view::npos) {
        // The ">" may still be on its way, unless the headers are complete.
        return finished ? IdSearch{true, ""} : IdSearch{false, ""};
    }
    rest = rest.substr(0, close + 1);
    size_t b = 0;
    size_t e = rest.size();
    while (b < e && static_cast<unsigned char>(rest[b]) <= 32) {
        ++b;
    }
    while (e > b && static_cast<unsigned char>(rest[e - 1]) <= 32) {
        --e;
    }
    return IdSearch{true, std::string(rest.substr(b, e - b))};
}

std::string CheckMail(platform::TcpStream& stream, core::Settings& s, bool alarmSounded,
                      MailView& view, const std::function<std::int64_t()>& steadyMs) {
    struct Closer {
        platform::TcpStream& s;
        ~Closer() { s.close(); }
    } closer{stream};
    std::string say;
    try {
        stream.open(s.POPServer, portOf(s));
        Dialogue d(stream, steadyMs);
        const std::vector<std::string> greeting = d.reply(); // never judged
        if (securityOf(s) == Security::StartTls) {
            startTls(d, stream);
        }
        // The account and password go out in the file's own bytes (CP932).
        const std::string account = core::cp932Of(s, "POPAccount", s.POPAccount);
        const std::string password = core::cp932Of(s, "POPPassword", s.POPPassword);
        std::vector<std::string> login;
        if (s.IsAPOP == 1) {
            const std::string stamp = greeting.empty() ? "" : greeting.back();
            d.send("APOP " + account + " " + md5Hex(stamp + password));
            login = d.reply();
        } else {
            d.send("USER " + account);
            if (!accepted(d.reply())) {
                return kBadUser;
            }
            d.send("PASS " + password);
            login = d.reply();
        }
        if (!accepted(login)) {
            return kBadPassword;
        }
        std::string T;
        int N = 0;
        if (login.size() >= 4 && wholeNumber(login[3], N)) {
            T = login[3];
        } else {
            // Most servers give no count with the log-in: ask for it.
            d.send("STAT");
            const std::vector<std::string> stat = d.reply();
            if (!accepted(stat) || stat.size() < 2 || !wholeNumber(stat[1], N)) {
                return ""; // nothing learnt: Settings and labels stay as they were
            }
            T = stat[1];
        }
        if (N != 0) {
            d.send("RETR " + T);
            d.waitReply();
            std::string text;
            IdSearch found;
            bool refused = false;
            while (!found.done) {
                text += lower(d.read());
                if (text.starts_with("-err")) {
                    refused = true; // no message to read: the exchange is over
                    break;
                }
                const bool bound = text.size() >= kRetrKeepBytes;
                if (bound) {
                    text.resize(kRetrKeepBytes);
                }
                found = findMessageId(text, bound);
            }
            // IDs compare as the bytes the server sent; a refused RETR tells no ID, and only
            // the count can tell news.
            const bool newMail =
                N > s.LastMailNum ||
                (!refused && found.id != core::cp932Of(s, "LastMessageID", s.LastMessageID));
            if (newMail) {
                say = "メールが" + T + "通きています． はやく受信しましょう．";
                if (s.MailNotify && !alarmSounded) {
                    view.playNotify(s.MailNotifyFile);
                }
            }
            if (!refused) {
                core::setFromCp932(s, "LastMessageID", s.LastMessageID, found.id);
            }
        }
        s.LastMailNum = N;
        d.send("QUIT");
        d.waitReply();
        d.read(255);
        view.setLastModified("最終チェック日時：" + view.now());
        if (s.LastMailNum > 0) {
            view.setReceived(s.LastMailNum,
                             "未読メール総数：" + std::to_string(s.LastMailNum) + "通");
        } else {
            view.setReceived(0, "未読メール総数：ありません．");
        }
        return say;
    } catch (const End& end) {
        return end.line;
    } catch (const platform::Interrupted&) {
        return ""; // the session ends: nothing is said and nothing is learnt
    }
}

} // namespace mail
