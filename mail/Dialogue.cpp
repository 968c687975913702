#include "mail/Dialogue.h"

#include <algorithm>

namespace mail {

Dialogue::Dialogue(platform::TcpStream& s, const std::function<std::int64_t()>& now)
    : stream_(s), now_(now), checkEnd_(now() + kCheckMs) {
    startExchange();
}

void Dialogue::startExchange() {
    exchangeEnd_ = now_() + kExchangeMs;
}

void Dialogue::waitReply() {
    const int ms = within(kReplyWaitMs);
    if (ms <= 0 || !stream_.wait(ms)) {
        throw End{kSendTimeout};
    }
}

std::string Dialogue::read(size_t max) {
    const int ms = within(kReadWaitMs);
    if (ms <= 0) {
        throw End{kRecvTimeout}; // a server that drips its reply ends here
    }
    char buf[4096];
    const size_t n = stream_.read(buf, std::min<size_t>(max, 4095), ms);
    if (n == 0) {
        throw End{kRecvTimeout};
    }
    return std::string(buf, n);
}

void Dialogue::send(const std::string& command) {
    startExchange();
    stream_.send(command + "\r\n");
}

void Dialogue::sendMore(const std::string& bytes) {
    stream_.send(bytes);
}

int Dialogue::within(int ms) const {
    const std::int64_t left = std::min(exchangeEnd_, checkEnd_) - now_();
    return static_cast<int>(std::max<std::int64_t>(0, std::min<std::int64_t>(ms, left)));
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

std::string announce(core::Settings& s, int count, const std::string& countText,
                     const std::optional<std::string>& newestId, bool alarmSounded,
                     MailView& view) {
    std::string say;
    const bool newMail =
        count > s.LastMailNum ||
        (newestId && *newestId != core::cp932Of(s, "LastMessageID", s.LastMessageID));
    if (newMail) {
        say = "メールが" + countText + "通きています． はやく受信しましょう．";
        if (s.MailNotify && !alarmSounded) {
            view.playNotify(s.MailNotifyFile);
        }
    }
    if (newestId) {
        core::setFromCp932(s, "LastMessageID", s.LastMessageID, *newestId);
    }
    return say;
}

void showChecked(MailView& view, int count) {
    view.setLastModified("最終チェック日時：" + view.now());
    if (count > 0) {
        view.setReceived(count, "未読メール総数：" + std::to_string(count) + "通");
    } else {
        view.setReceived(0, "未読メール総数：ありません．");
    }
}

} // namespace mail
