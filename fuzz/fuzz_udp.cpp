// The UDP intake of the clock adjustment: requests, time-outs, datagrams from any address and
// port, and the time service's answers, in any order. Only a reply from the address asked, port
// 123, while a request is outstanding may end the wait or set the clock, once per request, and
// only to a sane time; one setting is asked for at a time, and a clock that cannot be set is
// spoken of once until it is right again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "timesync/SntpClient.h"

namespace {

// Where the era rule puts any server time: from NTP second 2^31 (1968-01-20 03:14:08 UTC) to
// the end of the second before it a full era on (2104-02-26 09:42:24 UTC).
constexpr std::int64_t kEarliestUs = -61505152LL * 1000000;
constexpr std::int64_t kLatestUs = 4233462144LL * 1000000;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

class Clock : public platform::UtcClock {
public:
    std::int64_t nowUs() const override { return 1796698800LL * 1000000; }
    int zoneOffsetSeconds() const override { return 0; }
};

class Service : public platform::TimeService {
public:
    std::function<void(const std::string&)> pending;
    int clockSets = 0;
    void setUtc(std::int64_t utcUs, std::function<void(const std::string&)> done) override {
        check(!pending);
        check(utcUs >= kEarliestUs && utcUs <= kLatestUs);
        pending = std::move(done);
        ++clockSets;
    }
};

class Host : public timesync::SntpHost {
public:
    std::string address;
    int timerChanges = 0;
    int complaints = 0;

    void lookUp(const std::string&) override {}
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
    void speak(const std::string& line) override {
        if (line.rfind("時計が", 0) == 0) {
            ++complaints;
        }
    }
    void warn(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Host host;
    Clock clock;
    Service service;
    timesync::SntpClient client(host, clock, service);
    core::Settings s;
    s.NTPTimeout = in.ConsumeIntegral<int>();
    s.NTPMinimalDifference = in.ConsumeIntegralInRange(0, 100000);
    s.NTPTimezone = in.ConsumeIntegralInRange(-24, 24);
    // 0.0.0.0 is no server: the lookup's answer is refused before anything is sent.
    host.address = timesync::dottedQuad(in.ConsumeIntegralInRange<std::uint32_t>(1, 0xFFFFFFFFu));
    // The text form is what the reply is matched by: it must read back as the same address.
    unsigned a = 0, b = 0, c = 0, d = 0;
    check(std::sscanf(host.address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4 && a < 256 &&
          b < 256 && c < 256 && d < 256);
    int setsThisRequest = 0;
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0:
            client.AdjustTime(s);
            client.Resolved({host.address}, s);
            check(client.outstanding());
            setsThisRequest = 0;
            break;
        case 1:
            if (client.outstanding()) {
                client.NTPTimeoutTimerTimer();
                check(!client.outstanding());
            }
            break;
        case 4:
            // The service answers: set, or refused.
            if (service.pending) {
                auto done = std::move(service.pending);
                service.pending = nullptr;
                const bool refused = in.ConsumeBool();
                done(refused ? "refused" : "");
                if (!refused) {
                    host.complaints = 0;
                }
                check(host.complaints <= 1);
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
            const int sets = service.clockSets;
            client.DataReceived(datagram, from, port, s);
            const bool taken = wasOutstanding && !client.outstanding();
            if (!wasOutstanding || from != host.address || port != timesync::kServerPort ||
                datagram.size() < timesync::kRequestSize) {
                check(!taken && host.timerChanges == timers && service.clockSets == sets);
            }
            if (!taken) {
                check(service.clockSets == sets);
            }
            if (taken && std::llabs(client.lastOffsetUs()) <=
                             static_cast<long long>(s.NTPMinimalDifference) * 1000) {
                host.complaints = 0; // the clock was right: a new fault may be spoken of
            }
            setsThisRequest += service.clockSets - sets;
            check(setsThisRequest <= 1);
            break;
        }
        }
    }
    return 0;
}
