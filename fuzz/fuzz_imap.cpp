// The IMAP reader and the whole IMAP check over a hostile server: the input is cut into the
// server's reads at every 0xFF byte. No crash, no endless loop, memory bounded.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/MailFuzz.h"
#include "mail/ImapCheck.h"
#include "mail/ImapReader.h"
#include "platform/AppError.h"

namespace {

class FuzzStream : public platform::TcpStream {
public:
    explicit FuzzStream(const std::vector<std::string>& reads) : reads_(reads) {}
    void open(const std::string&, int) override {}
    bool wait(int) override { return next_ < reads_.size(); }
    size_t read(char* buf, size_t max, int) override {
        if (next_ >= reads_.size()) {
            return 0;
        }
        const std::string& r = reads_[next_++];
        const size_t n = std::min(max, r.size());
        std::memcpy(buf, r.data(), n);
        return n;
    }
    void send(std::string_view) override {}
    void close() override {}
    void startTls() override {}

private:
    const std::vector<std::string>& reads_;
    size_t next_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::vector<std::string> reads = serverReads(data, size);
    mail::ImapReader reader;
    for (const std::string& r : reads) {
        reader.feed(r);
        while (reader.next()) {
        }
    }
    // In clear with an account that needs a literal; with STARTTLS and quoted strings.
    for (int security = 0; security < 2; ++security) {
        FuzzStream stream(reads);
        core::Settings s;
        s.MailProtocol = 1;
        s.POPSecurity = security;
        s.POPServer = "127.0.0.1";
        s.POPAccount = security == 0 ? "line\nbreak" : "ha\"na\\ko";
        s.LastMailNum = 1;
        NullView view;
        try {
            mail::CheckImap(stream, s, false, view);
        } catch (const platform::AppError&) {
        }
    }
    return 0;
}
