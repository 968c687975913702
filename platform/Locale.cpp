#include "platform/Locale.h"

#include <cmath>
#include <cstdio>

namespace platform {

std::string shortDate(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", t.year, t.month, t.day);
    return buf;
}

std::string longTime(int hour, int minute, int second) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", hour, minute, second);
    return buf;
}

std::string dateTimeText(const LocalTime& t) {
    std::string s = shortDate(t);
    if (t.hour != 0 || t.minute != 0 || t.second != 0) {
        s += ' ';
        s += longTime(t.hour, t.minute, t.second);
    }
    return s;
}

std::string timeText(double value) {
    const LocalTime t = decodeDateTime(value);
    return longTime(t.hour, t.minute, t.second);
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads one to two decimal digits.
std::optional<int> readNumber(std::string_view s, size_t& i) {
    int v = 0;
    size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < 2) {
        v = v * 10 + (s[i] - '0');
        ++i;
    }
    if (i == start) {
        return std::nullopt;
    }
    return v;
}

} // namespace

std::optional<double> parseTime(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    auto h = readNumber(s, i);
    if (!h || i >= s.size() || s[i] != ':') {
        return std::nullopt;
    }
    ++i;
    auto m = readNumber(s, i);
    if (!m) {
        return std::nullopt;
    }
    int sec = 0;
    if (i < s.size() && s[i] == ':') {
        ++i;
        auto sv = readNumber(s, i);
        if (!sv) {
            return std::nullopt;
        }
        sec = *sv;
    }
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    if (i != s.size() || *h > 23 || *m > 59 || sec > 59) {
        return std::nullopt;
    }
    return ((*h * 60.0 + *m) * 60.0 + sec) / 86400.0;
}

} // namespace platform
