#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>

#include "RecordingMailView.h"
#include "mail/ImapCheck.h"
#include "mail/ImapReader.h"
#include "mail/MailServer.h"
#include "platform/AppError.h"

namespace {

using Script = std::vector<std::vector<std::string>>;

// A server that answers from a script: the greeting, then for each send the next reply, given
// as the segments its reads return.
class ScriptedStream : public platform::TcpStream {
public:
    std::deque<std::vector<std::string>> replies;
    std::vector<std::string> sent;
    int port = 0;
    bool refuse = false, closed = false;
    int tlsAfterSends = -1; // how many sends preceded startTls()

    // Time as the check sees it: each reply begins `replyDelayMs` after it is waited for; each
    // read takes `msPerRead` and gives at most `dripBytes`. After a send starting with
    // `endlessAfter`, the reply is `endlessChunk` over and over.
    std::int64_t clockMs = 0;
    int replyDelayMs = 0;
    int msPerRead = 0;
    size_t dripBytes = 4095;
    std::string endlessAfter, endlessChunk;
    size_t endlessBytes = 0;

    void open(const std::string&, int p) override {
        port = p;
        if (refuse) {
            throw platform::AppError(platform::socketErrorMessage(111, "connect"));
        }
    }
    bool wait(int ms) override {
        if ((current().empty() && !endless_) || replyDelayMs > ms) {
            clockMs += ms;
            return false;
        }
        clockMs += replyDelayMs;
        return true;
    }
    size_t read(char* buf, size_t max, int ms) override {
        if (msPerRead > ms) {
            clockMs += ms;
            return 0;
        }
        clockMs += msPerRead;
        max = std::min(max, dripBytes);
        if (endless_) {
            const size_t n = std::min(max, endlessChunk.size());
            std::memcpy(buf, endlessChunk.data(), n);
            endlessBytes += n;
            return n;
        }
        auto& segs = current();
        if (segs.empty()) {
            return 0;
        }
        std::string& seg = segs.front();
        const size_t n = std::min(max, seg.size());
        std::memcpy(buf, seg.data(), n);
        seg.erase(0, n);
        if (seg.empty()) {
            segs.erase(segs.begin());
        }
        return n;
    }
    void send(std::string_view text) override {
        sent.emplace_back(text);
        if (!replies.empty()) {
            replies.pop_front(); // the previous reply is over
        }
        endless_ = !endlessAfter.empty() && text.starts_with(endlessAfter);
    }
    void close() override { closed = true; }
    // The real stream drops what the server sent in clear after agreeing.
    void startTls() override {
        tlsAfterSends = static_cast<int>(sent.size());
        current().clear();
    }

private:
    std::vector<std::string>& current() {
        static std::vector<std::string> none;
        none.clear();
        return replies.empty() ? none : replies.front();
    }
    bool endless_ = false;
};

const std::string kHello = "* OK [CAPABILITY IMAP4rev1 LOGIN-REFERRALS] ready\r\n";
const std::string kSay3 = "メールが3通きています． はやく受信しましょう．";

std::string examined(const std::string& tag, int n) {
    return "* FLAGS (\\Answered \\Seen)\r\n* " + std::to_string(n) + " EXISTS\r\n* 0 RECENT\r\n" +
           tag + " OK [READ-ONLY] Examine completed\r\n";
}
std::string fetched(const std::string& tag, int n, const std::string& header) {
    return "* " + std::to_string(n) + " FETCH (BODY[HEADER.FIELDS (MESSAGE-ID)] {" +
           std::to_string(header.size()) + "}\r\n" + header + ")\r\n" + tag + " OK Fetched\r\n";
}
// Log-in, EXAMINE with `n` messages, FETCH of `header` (when n > 0), LOGOUT; tags from a1.
Script mailbox(int n, const std::string& header) {
    Script s{{kHello}, {"a1 OK Logged in\r\n"}, {examined("a2", n)}};
    if (n > 0) {
        s.push_back({fetched("a3", n, header)});
    }
    s.push_back({"* BYE\r\n" + std::string(n > 0 ? "a4" : "a3") + " OK\r\n"});
    return s;
}

class Imap : public ::testing::Test {
protected:
    Imap() {
        s.MailProtocol = 1;
        s.POPServer = "127.0.0.2";
        s.POPAccount = "hanako";
        s.POPPassword = "secret";
    }
    std::string run(bool alarm = false) {
        return mail::CheckImap(stream, s, alarm, view, [this] { return stream.clockMs; });
    }
    void script(const Script& r) {
        stream.replies.assign(r.begin(), r.end());
        stream.sent.clear();
    }
    // The AppError a check raises, or "" when it raises none.
    std::string error() {
        try {
            run();
        } catch (const platform::AppError& e) {
            return e.what();
        }
        return "";
    }
    core::Settings s;
    ScriptedStream stream;
    RecordingMailView view;
};

} // namespace

TEST_F(Imap, NewMailIsSpokenAndTheIdStoredLowerCaseWithoutChangingTheMailbox) {
    s.LastMailNum = 2;
    s.MailNotify = true;
    s.MailNotifyFile = "mail.wav";
    const std::string header = "Message-ID: <AbC.123@Example>\r\n\r\n";
    const std::string reply = fetched("a3", 3, header);
    script({{kHello},
            {"a1 OK [CAPABILITY IMAP4rev1] Logged in\r\n"},
            {"* 2 EXISTS\r\n* OK [UIDVALIDITY 7] x\r\n* 3 EXISTS\r\na2 OK [READ-ONLY] done\r\n"},
            {reply.substr(0, 50), reply.substr(50, 9), reply.substr(59)},
            {"* BYE logging out\r\na4 OK\r\n"}});
    EXPECT_EQ(run(), kSay3) << "the last EXISTS before the tagged OK is the count";
    EXPECT_EQ(stream.port, 143);
    EXPECT_EQ(stream.sent,
              (std::vector<std::string>{
                  "a1 LOGIN \"hanako\" \"secret\"\r\n", "a2 EXAMINE INBOX\r\n",
                  "a3 FETCH 3 BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)]\r\n", "a4 LOGOUT\r\n"}));
    EXPECT_EQ(s.LastMailNum, 3);
    EXPECT_EQ(s.LastMessageID, "<abc.123@example>");
    EXPECT_EQ(view.played, (std::vector<std::string>{"mail.wav"}));
    EXPECT_EQ(view.modified, "最終チェック日時：2026/12/08 9:00:00");
    EXPECT_EQ(view.received, "未読メール総数：3通");
    EXPECT_TRUE(stream.closed);
}

TEST_F(Imap, TheNewMailRule) {
    s.LastMailNum = 3;
    s.LastMessageID = "<same@x>";
    script(mailbox(3, "Message-Id: <SAME@x>\r\n\r\n"));
    EXPECT_EQ(run(), "") << "same count, same newest message";
    EXPECT_EQ(view.received, "未読メール総数：3通");

    script(mailbox(2, "Message-ID:\r\n <other@x>\r\n\r\n"));
    EXPECT_EQ(run(), "メールが2通きています． はやく受信しましょう．")
        << "fewer, but newest is new";
    EXPECT_EQ(s.LastMessageID, "<other@x>");
    EXPECT_EQ(s.LastMailNum, 2);

    script(mailbox(2, "\r\n"));
    EXPECT_EQ(run(), "") << "no ID: only the count can tell";
    EXPECT_EQ(s.LastMessageID, "<other@x>");

    Script refused = mailbox(2, "");
    refused[3] = {"a3 NO [SERVERBUG] cannot\r\n"};
    script(refused);
    EXPECT_EQ(run(), "");
    EXPECT_EQ(s.LastMessageID, "<other@x>");

    script(mailbox(0, ""));
    EXPECT_EQ(run(), "");
    EXPECT_EQ(stream.sent.back(), "a3 LOGOUT\r\n") << "no FETCH of an empty inbox";
    EXPECT_EQ(s.LastMailNum, 0);
    EXPECT_EQ(view.received, "未読メール総数：ありません．");
}

TEST_F(Imap, PreauthSkipsTheLogIn) {
    Script sc{{"* PREAUTH [CAPABILITY IMAP4rev1] welcome back\r\n"},
              {examined("a1", 1)},
              {fetched("a2", 1, "Message-ID: <p@x>\r\n\r\n")},
              {"a3 OK\r\n"}};
    script(sc);
    EXPECT_EQ(run(), "メールが1通きています． はやく受信しましょう．");
    EXPECT_EQ(stream.sent.front(), "a1 EXAMINE INBOX\r\n");
}

TEST_F(Imap, RefusalsAndFailures) {
    s.LastMailNum = 5;
    script({{"* BYE too many connections\r\n"}});
    EXPECT_EQ(run(), "パスワードが正しくありません．");
    EXPECT_TRUE(stream.sent.empty());

    script({{kHello}, {"* OK still here\r\na1 NO [AUTHENTICATIONFAILED] bad\r\n"}});
    EXPECT_EQ(run(), "パスワードが正しくありません．");

    script({{kHello}, {"a1 OK\r\n"}, {"a2 NO no inbox\r\n"}, {"a3 OK\r\n"}});
    EXPECT_EQ(run(), "");
    EXPECT_EQ(stream.sent.back(), "a3 LOGOUT\r\n");
    EXPECT_EQ(s.LastMailNum, 5) << "nothing learnt";
    EXPECT_EQ(view.count, -1) << "labels untouched";

    script({{}});
    EXPECT_EQ(run(), "サーバに接続できません（送信タイムアウト）");

    stream.refuse = true;
    EXPECT_EQ(error(), "'connect' API でWindows ソケットエラー: Connection refused (111)");
    EXPECT_TRUE(stream.closed);
}

TEST_F(Imap, LogInValuesAreQuotedOrSentAsLiterals) {
    s.POPAccount = "ha\"na\\ko";
    s.POPPassword = "p w";
    script({{kHello}, {"a1 NO\r\n"}});
    run();
    EXPECT_EQ(stream.sent[0], "a1 LOGIN \"ha\\\"na\\\\ko\" \"p w\"\r\n");

    // From the file: "あ" and "パス" in CP932, 8-bit bytes a quoted string cannot carry.
    core::readSettings("POPAccount=\x82\xa0\r\nPOPPassword=\x83\x70\x83\x58\r\n", s);
    script({{kHello}, {"+ go on\r\n"}, {"+ \r\n"}, {"a1 OK\r\n"}, {examined("a2", 0)}, {}});
    EXPECT_EQ(run(), "");
    EXPECT_EQ(stream.sent[0], "a1 LOGIN {2}\r\n");
    EXPECT_EQ(stream.sent[1], "\x82\xa0 {4}\r\n");
    EXPECT_EQ(stream.sent[2], "\x83\x70\x83\x58\r\n");
    EXPECT_EQ(s.LastMailNum, 0) << "logged in";

    s.POPAccount = "hanako";
    script({{kHello}, {"* OK [ALERT] hello\r\na1 NO literal too big\r\n"}});
    EXPECT_EQ(run(), "パスワードが正しくありません．");
    EXPECT_EQ(stream.sent, (std::vector<std::string>{"a1 LOGIN \"hanako\" {4}\r\n"}))
        << "no continuation: the password stays home";
}

TEST_F(Imap, StartTlsMissingMeansNoLogIn) {
    s.POPSecurity = 1;
    script({{kHello}});
    EXPECT_EQ(error(), mail::kNoStartTls) << "the greeting's capabilities are enough";
    EXPECT_TRUE(stream.sent.empty());

    script({{"* OK ready\r\n"}, {"* CAPABILITY IMAP4rev1 STARTTLSX\r\na1 OK\r\n"}});
    EXPECT_EQ(error(), mail::kNoStartTls);
    EXPECT_EQ(stream.sent, (std::vector<std::string>{"a1 CAPABILITY\r\n"}));

    script(
        {{"* OK ready\r\n"}, {"a1 OK [CAPABILITY IMAP4rev1 STARTTLS] x\r\n"}, {"a2 BAD no\r\n"}});
    EXPECT_EQ(error(), mail::kNoStartTls) << "offered but refused";
    EXPECT_EQ(stream.sent.back(), "a2 STARTTLS\r\n");

    script({{"* PREAUTH logged in\r\n"}});
    EXPECT_EQ(error(), mail::kNoStartTls) << "a session already open can never be made private";
    EXPECT_TRUE(stream.sent.empty());
    EXPECT_EQ(stream.tlsAfterSends, -1);
    EXPECT_TRUE(stream.closed);
}

TEST_F(Imap, BytesSentWithTheStartTlsAgreementNeverCount) {
    s.POPSecurity = 1;
    s.LastMailNum = 0;
    script({{"* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] ready\r\n"},
            {"a1 OK Begin TLS\r\na2 OK forged\r\n* 5 EXISTS\r\na3 OK forged\r\n"},
            {"a2 OK Logged in\r\n"},
            {examined("a3", 1)},
            {fetched("a4", 1, "Message-ID: <real@x>\r\n\r\n")},
            {"a5 OK\r\n"}});
    EXPECT_EQ(run(), "メールが1通きています． はやく受信しましょう．");
    EXPECT_EQ(stream.tlsAfterSends, 1);
    EXPECT_EQ(stream.sent[1], "a2 LOGIN \"hanako\" \"secret\"\r\n");
    EXPECT_EQ(stream.sent[3], "a4 FETCH 1 BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)]\r\n");
    EXPECT_EQ(s.LastMailNum, 1);
    EXPECT_EQ(s.LastMessageID, "<real@x>");
}

TEST_F(Imap, SlowAndEndlessServersAreBounded) {
    // One byte a second from the greeting on: every exchange is shorter than its own bound,
    // the check ends by its 30 s bound.
    s.LastMailNum = 7;
    Script drip = mailbox(1, "Message-ID: <a@b>\r\n\r\n");
    drip[0] = {"* OK hi\r\n"};
    drip[1] = {"a1 OK\r\n"};
    script(drip);
    stream.dripBytes = 1;
    stream.msPerRead = 1000;
    EXPECT_EQ(run(), "サーバに接続できません（受信タイムアウト）");
    EXPECT_EQ(stream.clockMs, mail::kCheckMs);
    EXPECT_EQ(stream.sent.back(), "a2 EXAMINE INBOX\r\n");
    EXPECT_EQ(s.LastMailNum, 7);
    EXPECT_TRUE(stream.closed);

    // A line that never ends.
    stream = ScriptedStream{};
    script(mailbox(1, ""));
    stream.endlessAfter = "a2 EXAMINE";
    stream.endlessChunk = "* OK " + std::string(1000, 'x');
    EXPECT_EQ(run(), "サーバに接続できません（受信タイムアウト）");
    EXPECT_LE(stream.endlessBytes, mail::kImapTextBytes + 4095);
    EXPECT_EQ(s.LastMailNum, 7);

    // A header of a megabyte: its start is kept and read.
    stream = ScriptedStream{};
    script(mailbox(1, "Message-ID: <Big@x>\r\n" + std::string(1 << 20, 'h') + "\r\n\r\n"));
    EXPECT_EQ(run(), "メールが1通きています． はやく受信しましょう．");
    EXPECT_EQ(s.LastMessageID, "<big@x>");
}

TEST(ImapReader, LinesAndLiteralsAsTheyArrive) {
    const std::string bytes = "* 1 FETCH (A {4}\r\nx\r\ny B {0}\r\n C {2}\r\n}{)\r\n"
                              "* OK {12a}\n"
                              "a1 OK done\r\n";
    mail::ImapReader r;
    std::vector<mail::ImapResponse> got;
    for (char c : bytes) {
        r.feed(std::string_view(&c, 1));
        while (auto resp = r.next()) {
            got.push_back(*resp);
        }
    }
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].text, "* 1 FETCH (A {4} B {0} C {2})");
    ASSERT_EQ(got[0].literals.size(), 3u);
    EXPECT_EQ(got[0].literals[0].bytes, "x\r\ny");
    EXPECT_EQ(got[0].literals[0].at, 16u);
    EXPECT_EQ(got[0].literals[1].bytes, "");
    EXPECT_EQ(got[0].literals[2].bytes, "}{");
    EXPECT_EQ(got[1].text, "* OK {12a}") << "not a literal's size";
    EXPECT_EQ(got[2].text, "a1 OK done");
    EXPECT_FALSE(r.broken());
}

TEST(ImapReader, BoundsAndStrictNumbers) {
    mail::ImapReader big;
    big.feed("* 1 FETCH (X {1048576}\r\n");
    for (int i = 0; i < 256; ++i) {
        big.feed(std::string(4096, 'b'));
        EXPECT_FALSE(big.next());
    }
    big.feed(")\r\n");
    auto resp = big.next();
    ASSERT_TRUE(resp);
    EXPECT_EQ(resp->literals[0].bytes.size(), mail::kImapLiteralKeepBytes);
    EXPECT_TRUE(resp->cut);

    std::string many = "* X";
    for (int i = 0; i < 20; ++i) {
        many += " {1}\r\nz";
    }
    // Ends after a literal: the last announcement is not read again.
    mail::ImapReader count;
    count.feed(many + "\r\n");
    resp = count.next();
    ASSERT_TRUE(resp);
    EXPECT_EQ(resp->literals.size(), mail::kImapLiteralsKept);
    EXPECT_TRUE(resp->cut);

    mail::ImapReader longLine;
    longLine.feed(std::string(mail::kImapTextBytes, 'l'));
    EXPECT_FALSE(longLine.broken());
    longLine.feed("l");
    EXPECT_FALSE(longLine.next());
    EXPECT_TRUE(longLine.broken());

    mail::ImapReader huge;
    huge.feed("* 1 FETCH (X {4294967296}\r\nabc");
    EXPECT_FALSE(huge.next());
    EXPECT_TRUE(huge.broken()) << "more than an IMAP number holds";

    std::uint64_t v = 0;
    EXPECT_TRUE(mail::imapNumber("4294967295", 0xFFFFFFFFu, v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_FALSE(mail::imapNumber("4294967296", 0xFFFFFFFFu, v));
    EXPECT_FALSE(mail::imapNumber("18446744073709551616", UINT64_MAX, v));
    EXPECT_FALSE(mail::imapNumber("", 9, v));
    EXPECT_FALSE(mail::imapNumber("+1", 9, v));
    EXPECT_FALSE(mail::imapNumber("1 ", 9, v));
}

TEST(ImapReader, DiscardForgetsEverythingBuffered) {
    mail::ImapReader r;
    r.feed("a1 OK go\r\n* 9 EXISTS\r\n* 1 FETCH {50}\r\nhalf");
    ASSERT_TRUE(r.next());
    r.discard();
    r.feed("* 1 EXISTS\r\n");
    auto resp = r.next();
    ASSERT_TRUE(resp);
    EXPECT_EQ(resp->text, "* 1 EXISTS");
    EXPECT_TRUE(resp->literals.empty());
}
