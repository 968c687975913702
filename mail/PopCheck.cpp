#include "mail/PopCheck.h"

#include <cstring>

#include "mail/Dialogue.h"
#include "mail/MailServer.h"
#include "mail/Md5unit.h"
#include "platform/AppError.h"

namespace mail {
namespace {

const char* const kBadUser = "ユーザ名が誤っています．";
// A CAPA reply longer than this tells nothing a check needs.
constexpr size_t kCapaBytes = 16 * 1024;

bool blank(unsigned char c) {
    return c >= 1 && c <= 32;
}

// A read's text runs to its first zero byte.
std::string upToZero(const std::string& bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

std::vector<std::string> reply(Dialogue& d) {
    d.waitReply();
    return replyTokens(upToZero(d.read()));
}

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
    if (!accepted(reply(d))) {
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
        const std::vector<std::string> greeting = reply(d); // never judged
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
            login = reply(d);
        } else {
            d.send("USER " + account);
            if (!accepted(reply(d))) {
                return kBadUser;
            }
            d.send("PASS " + password);
            login = reply(d);
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
            const std::vector<std::string> stat = reply(d);
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
                text += lower(upToZero(d.read()));
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
            // A refused RETR tells no ID, and only the count can tell news.
            say = announce(s, N, T, refused ? std::nullopt : std::optional(found.id), alarmSounded,
                           view);
        }
        s.LastMailNum = N;
        d.send("QUIT");
        d.waitReply();
        d.read(255);
        showChecked(view, s.LastMailNum);
        return say;
    } catch (const End& end) {
        return end.line;
    } catch (const platform::Interrupted&) {
        return ""; // the session ends: nothing is said and nothing is learnt
    }
}

} // namespace mail
