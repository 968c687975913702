#include "mail/ImapCheck.h"

#include <climits>
#include <optional>
#include <string_view>
#include <vector>

#include "mail/Dialogue.h"
#include "mail/ImapReader.h"
#include "mail/MailServer.h"
#include "platform/AppError.h"

namespace mail {
namespace {

enum class Status { Ok, No, Bad, Other };

bool sameWord(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (c != upper[i]) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t sp = text.find(' ', i);
        const size_t end = sp == std::string_view::npos ? text.size() : sp;
        if (end > i) {
            out.push_back(text.substr(i, end - i));
        }
        i = end + 1;
    }
    return out;
}

bool tagged(const ImapResponse& r, const std::string& tag) {
    return r.text.size() > tag.size() && r.text.compare(0, tag.size(), tag) == 0 &&
           r.text[tag.size()] == ' ';
}

Status status(const ImapResponse& r) {
    const std::vector<std::string_view> w = words(r.text);
    if (w.size() < 2) {
        return Status::Other;
    }
    return sameWord(w[1], "OK")    ? Status::Ok
           : sameWord(w[1], "NO")  ? Status::No
           : sameWord(w[1], "BAD") ? Status::Bad
                                   : Status::Other;
}

// The capability list a status response carries in its code ("* OK [CAPABILITY ...] text"), if
// it carries one.
std::optional<std::string_view> capabilityCode(const ImapResponse& r) {
    const std::vector<std::string_view> w = words(r.text);
    if (w.size() < 3 || !w[2].starts_with('[')) {
        return std::nullopt;
    }
    const std::string_view text(r.text);
    const size_t open = static_cast<size_t>(w[2].data() - text.data()) + 1;
    const size_t close = text.find(']', open);
    const std::string_view code =
        text.substr(open, close == std::string_view::npos ? std::string_view::npos : close - open);
    const std::vector<std::string_view> items = words(code);
    if (items.empty() || !sameWord(items[0], "CAPABILITY")) {
        return std::nullopt;
    }
    return code;
}

bool offersStartTls(std::string_view capabilities) {
    for (std::string_view w : words(capabilities)) {
        if (sameWord(w, "STARTTLS")) {
            return true;
        }
    }
    return false;
}

// "* N <word>" with N a count.
std::optional<int> untaggedCount(const ImapResponse& r, std::string_view word, size_t minWords) {
    const std::vector<std::string_view> w = words(r.text);
    std::uint64_t n = 0;
    if (w.size() < minWords || w[0] != "*" || !sameWord(w[2], word) ||
        !imapNumber(w[1], INT_MAX, n)) {
        return std::nullopt;
    }
    return static_cast<int>(n);
}

// The header text of "* N FETCH (... BODY[HEADER.FIELDS (MESSAGE-ID)] <literal or quoted>)".
std::optional<std::string> fetchedHeader(const ImapResponse& r, int n) {
    if (untaggedCount(r, "FETCH", 4) != n) {
        return std::nullopt;
    }
    const std::string up = lower(r.text);
    const size_t body = up.find("body[");
    const size_t close = body == std::string::npos ? body : up.find(']', body);
    if (close == std::string::npos || close + 2 >= up.size() || up[close + 1] != ' ') {
        return std::nullopt;
    }
    const size_t value = close + 2;
    if (up[value] == '{') {
        for (const ImapLiteral& l : r.literals) {
            if (l.at > value) {
                // Only the literal announced right here is the header text.
                return r.text.find('}', value) + 1 == l.at ? std::optional(l.bytes) : std::nullopt;
            }
        }
        return std::nullopt;
    }
    if (up[value] != '"') {
        return std::nullopt; // NIL: no such header
    }
    std::string out;
    for (size_t i = value + 1; i < r.text.size(); ++i) {
        const char c = r.text[i];
        if (c == '"') {
            return out;
        }
        if (c == '\\' && i + 1 < r.text.size()) {
            ++i;
        }
        out += r.text[i];
    }
    return std::nullopt;
}

// A log-in value as an IMAP string: quoted, or a literal for the bytes a quoted string cannot
// carry.
bool needsLiteral(const std::string& v) {
    for (unsigned char c : v) {
        if (c == 0 || c == '\r' || c == '\n' || c >= 0x80) {
            return true;
        }
    }
    return false;
}

std::string quoted(const std::string& v) {
    std::string out = "\"";
    for (char c : v) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

// The client side of one connection: tagged commands and the responses they get.
class Session {
public:
    explicit Session(Dialogue& d) : d_(d) {}

    // The next response; the first after a send waits for the reply to begin.
    ImapResponse next() {
        for (;;) {
            if (std::optional<ImapResponse> r = reader_.next()) {
                return std::move(*r);
            }
            if (reader_.broken()) {
                throw End{kRecvTimeout}; // as endless garbage would end
            }
            if (!begun_) {
                d_.waitReply();
                begun_ = true;
            }
            reader_.feed(d_.read());
        }
    }
    // Sends "<tag> <text>" and returns the tag.
    std::string command(const std::string& text) {
        const std::string tag = "a" + std::to_string(++tags_);
        d_.send(tag + " " + text);
        begun_ = false;
        return tag;
    }
    // The rest of a command after a continuation.
    void more(const std::string& bytes) {
        d_.sendMore(bytes);
        begun_ = false;
    }
    // Reads up to the tagged response of `tag`; untagged ones go to `other`.
    ImapResponse finish(const std::string& tag,
                        const std::function<void(const ImapResponse&)>& other = {}) {
        for (;;) {
            ImapResponse r = next();
            if (tagged(r, tag)) {
                return r;
            }
            if (other && r.text.starts_with("* ")) {
                other(r);
            }
        }
    }
    void discard() { reader_.discard(); }

private:
    Dialogue& d_;
    ImapReader reader_;
    int tags_ = 0;
    bool begun_ = false;
};

bool logIn(Session& io, const std::string& account, const std::string& password) {
    // Each part but the last ends in a literal's announcement; the next part goes out after
    // the server's continuation.
    std::vector<std::string> parts{"LOGIN"};
    for (const std::string* v : {&account, &password}) {
        if (needsLiteral(*v)) {
            parts.back() += " {" + std::to_string(v->size()) + "}";
            parts.push_back(*v);
        } else {
            parts.back() += " " + quoted(*v);
        }
    }
    const std::string tag = io.command(parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) {
        for (;;) {
            const ImapResponse r = io.next();
            if (r.text.starts_with("+")) {
                break;
            }
            if (tagged(r, tag)) {
                return false; // refused before the literal was sent
            }
        }
        io.more(parts[i] + "\r\n");
    }
    return status(io.finish(tag)) == Status::Ok;
}

void logOut(Session& io) {
    try {
        io.finish(io.command("LOGOUT"));
    } catch (const End&) {
        // Everything is learnt: a server that closes or stays silent changes nothing.
    } catch (const platform::AppError&) {
    }
}

} // namespace

std::string CheckImap(platform::TcpStream& stream, core::Settings& s, bool alarmSounded,
                      MailView& view, const std::function<std::int64_t()>& steadyMs) {
    struct Closer {
        platform::TcpStream& s;
        ~Closer() { s.close(); }
    } closer{stream};
    try {
        stream.open(s.POPServer, portOf(s));
        Dialogue d(stream, steadyMs);
        Session io(d);
        const ImapResponse greeting = io.next();
        const std::vector<std::string_view> hello = words(greeting.text);
        const bool preauth = hello.size() >= 2 && hello[0] == "*" && sameWord(hello[1], "PREAUTH");
        if (!preauth && !(hello.size() >= 2 && hello[0] == "*" && sameWord(hello[1], "OK"))) {
            return kBadPassword; // BYE, or no IMAP server at all
        }
        if (securityOf(s) == Security::StartTls) {
            // Already logged in: the session can never become private.
            if (preauth) {
                throw platform::AppError(kNoStartTls);
            }
            std::optional<std::string_view> caps = capabilityCode(greeting);
            bool offered = caps && offersStartTls(*caps);
            if (!caps) {
                const ImapResponse done =
                    io.finish(io.command("CAPABILITY"), [&](const ImapResponse& r) {
                        const std::vector<std::string_view> w = words(r.text);
                        if (w.size() >= 2 && sameWord(w[1], "CAPABILITY")) {
                            offered = offered || offersStartTls(r.text);
                        }
                    });
                const std::optional<std::string_view> code = capabilityCode(done);
                offered = offered || (code && offersStartTls(*code));
            }
            if (!offered || status(io.finish(io.command("STARTTLS"))) != Status::Ok) {
                throw platform::AppError(kNoStartTls);
            }
            // Bytes that came with the OK were sent in clear: none may pass for a reply.
            io.discard();
            stream.startTls();
        }
        if (!preauth && !logIn(io, core::cp932Of(s, "POPAccount", s.POPAccount),
                               core::cp932Of(s, "POPPassword", s.POPPassword))) {
            return kBadPassword;
        }
        // Read-only, so the check never changes a flag.
        std::optional<int> exists;
        const ImapResponse examined =
            io.finish(io.command("EXAMINE INBOX"), [&](const ImapResponse& r) {
                if (std::optional<int> n = untaggedCount(r, "EXISTS", 3)) {
                    exists = n;
                }
            });
        if (status(examined) != Status::Ok || !exists) {
            logOut(io);
            return ""; // nothing learnt: Settings and labels stay as they were
        }
        const int n = *exists;
        std::string say;
        if (n > 0) {
            std::optional<std::string> header;
            const ImapResponse fetched = io.finish(
                io.command("FETCH " + std::to_string(n) + " BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)]"),
                [&](const ImapResponse& r) {
                    if (!header) {
                        header = fetchedHeader(r, n);
                    }
                });
            std::optional<std::string> id;
            if (status(fetched) == Status::Ok && header) {
                IdSearch found = findMessageId(lower(*header), true);
                if (!found.id.empty()) {
                    id = std::move(found.id);
                }
            }
            // Without an ID only the count can tell news.
            say = announce(s, n, std::to_string(n), id, alarmSounded, view);
        }
        s.LastMailNum = n;
        logOut(io);
        showChecked(view, n);
        return say;
    } catch (const End& end) {
        return end.line;
    } catch (const platform::Interrupted&) {
        return ""; // the session ends: nothing is said and nothing is learnt
    }
}

} // namespace mail
