#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "RecordingMailView.h"
#include "mail/Md5unit.h"
#include "mail/PopCheck.h"
#include "platform/AppError.h"

using mail::replyTokens;

namespace {

// A server that answers from a script: each command the client sends takes the next replies;
// a reply may come in several reads (segments).
class ScriptedStream : public platform::TcpStream {
public:
    std::deque<std::vector<std::string>> replies; // per exchange: its segments
    std::vector<std::string> sent;
    bool refuse = false;
    bool opened = false, closed = false;
    size_t endlessBytes = 0; // a reply that never ends: this many bytes served so far

    void open(const std::string& address, int port) override {
        EXPECT_EQ(port, 110);
        if (refuse || address.empty()) {
            throw platform::AppError(platform::socketErrorMessage(111, "connect"));
        }
        opened = true;
    }
    // Time as the check sees it: each reply begins `replyDelayMs` after it is waited for, each
    // read of an endless reply takes `msPerRead` and gives at most `dripBytes`.
    std::int64_t clockMs = 0;
    int replyDelayMs = 0;
    int msPerRead = 0;
    size_t dripBytes = 4096;
    std::int64_t retrSentAtMs = -1;

    bool wait(int ms) override {
        const bool ready = !current().empty() || endless;
        if (!ready || replyDelayMs > ms) {
            clockMs += ms;
            return false;
        }
        clockMs += replyDelayMs;
        return true;
    }
    size_t read(char* buf, size_t max, int) override {
        clockMs += msPerRead;
        if (endless) {
            const std::string chunk = "x-filler: " + std::string(200, 'a') + "\r\n";
            const size_t n = std::min({max, chunk.size(), dripBytes});
            std::memcpy(buf, chunk.data(), n);
            endlessBytes += n;
            return n;
        }
        auto& segs = current();
        if (segs.empty()) {
            return 0; // nothing within the time-out
        }
        std::string s = segs.front();
        segs.erase(segs.begin());
        const size_t n = std::min(max, s.size());
        std::memcpy(buf, s.data(), n);
        if (n < s.size()) {
            segs.insert(segs.begin(), s.substr(n));
        }
        return n;
    }
    void send(std::string_view text) override {
        sent.emplace_back(text);
        if (!replies.empty()) {
            replies.pop_front(); // the previous reply is over
        }
        endless = !sent.empty() && sent.back().rfind("RETR", 0) == 0 && endlessRetr;
        if (sent.back().rfind("RETR", 0) == 0) {
            retrSentAtMs = clockMs;
        }
    }
    void close() override { closed = true; }
    bool endlessRetr = false;

private:
    std::vector<std::string>& current() {
        static std::vector<std::string> none;
        return replies.empty() ? none : replies.front();
    }
    bool endless = false;
};

const std::string kGreeting = "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n";

std::string message(const std::string& id) {
    return "+OK 120 octets\r\nReturn-Path: <a@b>\r\n" + id + "Subject: hi\r\n\r\nbody\r\n.\r\n";
}

class Check : public ::testing::Test {
protected:
    Check() {
        s.POPServer = "127.0.0.2";
        s.POPAccount = "hanako";
        s.POPPassword = "secret";
    }
    std::string run(bool alarm = false) {
        return mail::CheckMail(stream, s, alarm, view, [this] { return stream.clockMs; });
    }
    void script(std::vector<std::vector<std::string>> r) {
        stream.replies.assign(r.begin(), r.end());
    }
    core::Settings s;
    ScriptedStream stream;
    RecordingMailView view;
};

} // namespace

TEST(Md5, Rfc1321TestSuiteAndTheApopExample) {
    EXPECT_EQ(mail::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(mail::md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(mail::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(mail::md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(mail::md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(mail::md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(mail::md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890"
                           "1234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(mail::md5Hex("<1896.697170952@dbc.mtview.ca.us>tanstaaf"),
              "c4c9334bac560ecc979e58001b3e22fb");
}

TEST(ReplyTokens, CommaListRules) {
    EXPECT_EQ(
        replyTokens("+OK maildrop has 2 messages (320 octets)"),
        (std::vector<std::string>{"+OK", "maildrop", "has", "2", "messages", "(320", "octets)"}));
    EXPECT_EQ(replyTokens("  a,b ,  c\r\nd\te"),
              (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(replyTokens("\"x y\" \"say \"\"hi\"\"\""),
              (std::vector<std::string>{"x y", "say \"hi\""}));
    EXPECT_TRUE(replyTokens("").empty());
    EXPECT_TRUE(mail::accepted(replyTokens("+OK done")));
    EXPECT_FALSE(mail::accepted(replyTokens("+OK. done")));
    EXPECT_FALSE(mail::accepted(replyTokens("+ok done")));
    EXPECT_FALSE(mail::accepted(replyTokens("-ERR no")));
}

TEST_F(Check, RfcStyleCountInTheLogInReplyAnnouncesNewMail) {
    s.LastMailNum = 2;
    script({{kGreeting},
            {"+OK hanako\r\n"},
            {"+OK maildrop has 3 messages (320 octets)\r\n"},
            {message("Message-ID: <AbC.123@Example>\r\n")},
            {"+OK bye\r\n"}});
    s.MailNotify = true;
    s.MailNotifyFile = "mail.wav";
    EXPECT_EQ(run(), "メールが3通きています． はやく受信しましょう．");
    EXPECT_EQ(stream.sent, (std::vector<std::string>{"USER hanako\r\n", "PASS secret\r\n",
                                                     "RETR 3\r\n", "QUIT\r\n"}));
    EXPECT_EQ(s.LastMailNum, 3);
    EXPECT_EQ(s.LastMessageID, "<abc.123@example>");
    EXPECT_EQ(view.played, (std::vector<std::string>{"mail.wav"}));
    EXPECT_EQ(view.modified, "最終チェック日時：2026/12/08 9:00:00");
    EXPECT_EQ(view.received, "未読メール総数：3通");
    EXPECT_TRUE(stream.closed);
}

TEST_F(Check, LogInWithoutACountAsksForItWithStat) {
    s.IsAPOP = 1;
    s.LastMailNum = 1;
    s.LastMessageID = "<old@x>";
    script({{kGreeting},
            {"+OK Logged in.\r\n"},
            {"+OK 1 420\r\n"},
            {message("message-id: <old@x>\r\n")},
            {"+OK\r\n"}});
    s.POPPassword = "tanstaaf";
    EXPECT_EQ(run(), "") << "same count, same newest message";
    EXPECT_EQ(stream.sent[0], "APOP hanako c4c9334bac560ecc979e58001b3e22fb\r\n");
    EXPECT_EQ(stream.sent[1], "STAT\r\n");
    EXPECT_EQ(stream.sent[2], "RETR 1\r\n");
    EXPECT_EQ(view.received, "未読メール総数：1通") << "the labels still show the check";
}

TEST_F(Check, AFailedStatEndsTheCheckTouchingNothing) {
    s.LastMailNum = 5;
    script({{kGreeting}, {"+OK\r\n"}, {"+OK Logged in.\r\n"}, {"-ERR no\r\n"}});
    EXPECT_EQ(run(), "");
    EXPECT_EQ(s.LastMailNum, 5);
    EXPECT_EQ(view.count, -1);
    EXPECT_TRUE(stream.closed);
}

TEST_F(Check, AMessageIdSplitAcrossReadsIsFound) {
    s.LastMailNum = 1;
    script({{kGreeting},
            {"+OK\r\n"},
            {"+OK maildrop has 1 messages (99 octets)\r\n"},
            {"+OK 99 octets\r\nFrom: a\r\nMess", "age-Id: <Split", "@Host>\r\n\r\nbody\r\n.\r\n"},
            {"+OK\r\n"}});
    EXPECT_EQ(run(), "メールが1通きています． はやく受信しましょう．");
    EXPECT_EQ(s.LastMessageID, "<split@host>");
}

TEST_F(Check, AMessageWithoutIdEndsAtItsHeaders) {
    s.LastMailNum = 1;
    s.LastMessageID = "<prev@x>";
    script({{kGreeting},
            {"+OK\r\n"},
            {"+OK maildrop has 1 messages\r\n"},
            {"+OK\r\nSubject: none\r\n\r\nMessage-ID: <in-the-body@x>\r\n.\r\n"},
            {"+OK\r\n"}});
    EXPECT_EQ(run(), "メールが1通きています． はやく受信しましょう．") << "the ID changed to empty";
    EXPECT_EQ(s.LastMessageID, "");
}

TEST_F(Check, AServerThatNeverStopsSendingIsBounded) {
    s.LastMailNum = 0;
    stream.endlessRetr = true;
    script({{kGreeting}, {"+OK\r\n"}, {"+OK maildrop has 2 messages\r\n"}, {}, {"+OK\r\n"}});
    EXPECT_EQ(run(), "メールが2通きています． はやく受信しましょう．");
    EXPECT_LE(stream.endlessBytes, mail::kRetrKeepBytes + 4096);
    EXPECT_EQ(s.LastMessageID, "");
}

TEST_F(Check, ErrorsAreSpokenLines) {
    script({{kGreeting}, {"-ERR who?\r\n"}});
    EXPECT_EQ(run(), "ユーザ名が誤っています．");
    script({{kGreeting}, {"+OK\r\n"}, {"-ERR bad\r\n"}});
    EXPECT_EQ(run(), "パスワードが正しくありません．");
    script({{kGreeting}, {"+OK\r\n"}, {"+OK. 3 messages\r\n"}});
    EXPECT_EQ(run(), "パスワードが正しくありません．") << "+OK with something attached";
    script({{}});
    EXPECT_EQ(run(), "サーバに接続できません（送信タイムアウト）");
    s.LastMailNum = 0;
    script({{kGreeting}, {"+OK\r\n"}, {"+OK maildrop has 1 messages\r\n"}, {"+OK\r\nFrom: x\r\n"}});
    EXPECT_EQ(run(), "サーバに接続できません（受信タイムアウト）");
    EXPECT_EQ(s.LastMailNum, 0) << "nothing learnt";
    EXPECT_EQ(view.count, -1) << "labels untouched";
}

TEST_F(Check, NoMailSendsNoRetrAndTheGreetingIsNeverJudged) {
    s.LastMessageID = "<keep@x>";
    s.LastMailNum = 4;
    script({{"-ERR busy\r\n"},
            {"+OK\r\n"},
            {"+OK maildrop has 0 messages (0 octets)\r\n"},
            {"+OK\r\n"}});
    EXPECT_EQ(run(), "");
    EXPECT_EQ(stream.sent,
              (std::vector<std::string>{"USER hanako\r\n", "PASS secret\r\n", "QUIT\r\n"}));
    EXPECT_EQ(s.LastMailNum, 0);
    EXPECT_EQ(s.LastMessageID, "<keep@x>");
    EXPECT_EQ(view.count, 0);
    EXPECT_EQ(view.received, "未読メール総数：ありません．");
}

TEST_F(Check, NoSoundAfterAnAlarmAndApopTwoMeansUserPass) {
    s.MailNotify = true;
    s.IsAPOP = 2;
    script({{kGreeting},
            {"+OK\r\n"},
            {"+OK maildrop has 1 m\r\n"},
            {message("Message-ID: <n@x>\r\n")},
            {"+OK\r\n"}});
    EXPECT_FALSE(run(true).empty());
    EXPECT_TRUE(view.played.empty());
    EXPECT_EQ(stream.sent[0], "USER hanako\r\n");
}

TEST_F(Check, ConnectionFailuresAreRaisedAfterClosing) {
    stream.refuse = true;
    try {
        run();
        FAIL();
    } catch (const platform::AppError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "'connect' API でWindows ソケットエラー: Connection refused (111)");
    }
    EXPECT_TRUE(stream.closed);
}

TEST_F(Check, AccountPasswordAndMessageIdTravelAsTheFilesBytes) {
    // Read from a file: the password "パス" in CP932, and an ID with a byte no codec accepts.
    core::readSettings("POPAccount=\x82\xa0\r\nPOPPassword=\x83\x70\x83\x58\r\n"
                       "LastMessageID=<\xff@x>\r\nPOPServer=127.0.0.1\r\n",
                       s);
    s.LastMailNum = 1;
    script({{kGreeting},
            {"+OK\r\n"},
            {"+OK maildrop has 1 messages (99 octets)\r\n"},
            {message("Message-ID: <\xff@x>\r\n")},
            {"+OK\r\n"}});
    EXPECT_EQ(run(), "") << "the same message, compared by its bytes";
    EXPECT_EQ(stream.sent[0], "USER \x82\xa0\r\n");
    EXPECT_EQ(stream.sent[1], "PASS \x83\x70\x83\x58\r\n");
    EXPECT_NE(core::writeSettings(s).find("LastMessageID=<\xff@x>\r\n"), std::string::npos)
        << "saved unchanged, so it is not announced again after a restart";
}

TEST_F(Check, ADrippingReplyEndsWhenItsExchangeHasTakenTwentySeconds) {
    s.LastMailNum = 0;
    script({{kGreeting}, {"+OK\r\n"}, {"+OK maildrop has 1 messages (9 octets)\r\n"}});
    stream.endlessRetr = true;
    stream.dripBytes = 1; // one byte a second: each read alone is quick
    stream.msPerRead = 1000;
    EXPECT_EQ(run(), "サーバに接続できません（受信タイムアウト）");
    EXPECT_LE(stream.endlessBytes, 20u);
    EXPECT_LE(stream.clockMs - stream.retrSentAtMs, 20000);
    EXPECT_EQ(s.LastMailNum, 0);
    EXPECT_TRUE(stream.closed);
}

TEST_F(Check, TheWholeCheckEndsAfterThirtySeconds) {
    // Every reply takes 9 s to begin: each exchange is within its bound, the fourth is not.
    script({{kGreeting},
            {"+OK\r\n"},
            {"+OK maildrop has 1 messages (9 octets)\r\n"},
            {message("Message-ID: <a@b>\r\n")},
            {"+OK\r\n"}});
    stream.replyDelayMs = 9000;
    EXPECT_EQ(run(), "サーバに接続できません（送信タイムアウト）");
    EXPECT_LE(stream.clockMs, 30000);
    EXPECT_EQ(stream.sent.size(), 3u) << "RETR was never sent";
}

TEST_F(Check, ARefusedRetrEndsItsExchangeAtOnceAndKeepsTheKnownId) {
    s.LastMailNum = 2;
    s.LastMessageID = "<kept@x>";
    script({{kGreeting},
            {"+OK\r\n"},
            {"+OK maildrop has 2 messages (9 octets)\r\n"},
            {"-ERR no such message\r\n"},
            {"+OK\r\n"}});
    EXPECT_EQ(run(), "") << "the count alone tells nothing new";
    EXPECT_EQ(stream.clockMs, 0) << "no waiting for more of a refused reply";
    EXPECT_EQ(s.LastMessageID, "<kept@x>");
    EXPECT_EQ(stream.sent.back(), "QUIT\r\n");
}
