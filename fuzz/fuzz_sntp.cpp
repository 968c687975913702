// The SNTP reply handler on any datagram: no crash, no read past its end, and a clock setting
// only ever within a sane range of the local time.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "timesync/SntpClient.h"

namespace {

class Host : public timesync::SntpHost {
public:
    platform::LocalTime now() override { return platform::LocalTime{2026, 12, 8, 12, 0, 0, 0}; }
    std::string resolve(const std::string&) override { return "127.0.0.1"; }
    void send(const std::string&, const std::string&) override {}
    void startInterval(int) override {}
    void stopInterval() override {}
    void startTimeout(int) override {}
    void stopTimeout() override {}
    void setClock(const platform::LocalTime& t) override {
        if (t.year < 1900 || t.year > 2200) {
            std::abort();
        }
    }
    void speak(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Host host;
    timesync::SntpClient client(host);
    core::Settings s;
    client.AdjustTime(s);
    const std::string d(reinterpret_cast<const char*>(data), size);
    client.DataReceived(d, "127.0.0.1", 123, s);
    return 0;
}
