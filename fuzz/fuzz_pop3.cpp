// The whole mail check over a hostile server: the input is cut into the server's reads at
// every 0xFF byte. No crash, no endless loop, memory bounded.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/MailFuzz.h"
#include "mail/PopCheck.h"
#include "platform/AppError.h"

namespace {

class FuzzStream : public platform::TcpStream {
public:
    explicit FuzzStream(std::vector<std::string> reads) : reads_(std::move(reads)) {}
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

private:
    std::vector<std::string> reads_;
    size_t next_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::vector<std::string> reads = serverReads(data, size);
    mail::replyTokens(reads.front());
    for (int apop = 0; apop < 2; ++apop) {
        FuzzStream stream(reads);
        core::Settings s;
        s.POPServer = "127.0.0.1";
        s.IsAPOP = apop;
        NullView view;
        try {
            mail::CheckMail(stream, s, false, view);
        } catch (const platform::AppError&) {
        }
    }
    return 0;
}
