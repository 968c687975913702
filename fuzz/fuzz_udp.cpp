// The UDP intake of the clock adjustment: requests, time-outs and datagrams from any address and
// port, in any order. Only a reply from the address asked, port 123, while a request is
// outstanding may end the wait or set the clock, once per request, and only to a sane time.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "timesync/SntpClient.h"

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

class Host : public timesync::SntpHost {
public:
    std::string address;
    int clockSets = 0;
    int timerChanges = 0;

    platform::LocalTime now() override { return platform::LocalTime{2026, 12, 8, 12, 0, 0, 0}; }
    std::string resolve(const std::string&) override { return address; }
    void send(const std::string& to, const std::string& d) override {
        check(to == address && d == timesync::buildRequest());
    }
    void startInterval(int) override { ++timerChanges; }
    void stopInterval() override { ++timerChanges; }
    void startTimeout(int ms) override {
        check(ms > 0);
        ++timerChanges;
    }
    void stopTimeout() override { ++timerChanges; }
    void setClock(const platform::LocalTime& t) override {
        check(t.year >= 1900 && t.year <= 2200);
        ++clockSets;
    }
    void speak(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Host host;
    timesync::SntpClient client(host);
    core::Settings s;
    s.NTPTimeout = in.ConsumeIntegral<int>();
    s.NTPMinimalDifference = in.ConsumeIntegralInRange(0, 100000);
    s.NTPTimezone = in.ConsumeIntegralInRange(-24, 24);
    host.address = timesync::dottedQuad(in.ConsumeIntegral<std::uint32_t>());
    // The text form is what the reply is matched by: it must read back as the same address.
    unsigned a = 0, b = 0, c = 0, d = 0;
    check(std::sscanf(host.address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4 && a < 256 &&
          b < 256 && c < 256 && d < 256);
    int setsThisRequest = 0;
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            client.AdjustTime(s);
            check(client.outstanding());
            setsThisRequest = 0;
            break;
        case 1:
            if (client.outstanding()) {
                client.NTPTimeoutTimerTimer();
                check(!client.outstanding());
            }
            break;
        default: {
            // A sender: mostly the asked server or a near miss, sometimes any text.
            std::string from;
            switch (in.ConsumeIntegralInRange(0, 2)) {
            case 0:
                from = host.address;
                break;
            case 1:
                from = timesync::dottedQuad(in.ConsumeIntegral<std::uint32_t>());
                break;
            default:
                from = in.ConsumeRandomLengthString(24);
                break;
            }
            const int port = in.ConsumeBool() ? 123 : in.ConsumeIntegral<int>();
            const std::string datagram = in.ConsumeRandomLengthString(3000);
            const bool wasOutstanding = client.outstanding();
            const int timers = host.timerChanges;
            const int sets = host.clockSets;
            client.DataReceived(datagram, from, port, s);
            const bool taken = wasOutstanding && !client.outstanding();
            if (!wasOutstanding || from != host.address || port != timesync::kServerPort ||
                datagram.size() < timesync::kRequestSize) {
                check(!taken && host.timerChanges == timers && host.clockSets == sets);
            }
            if (!taken) {
                check(host.clockSets == sets);
            }
            setsThisRequest += host.clockSets - sets;
            check(setsThisRequest <= 1);
            break;
        }
        }
    }
    return 0;
}
