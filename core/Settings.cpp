#include "core/Settings.h"

#include <cstdint>
#include <optional>

#include "platform/AppError.h"
#include "platform/Lines.h"
#include "platform/Locale.h"
#include "platform/TextCodec.h"

namespace core {
namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') {
            ca = static_cast<unsigned char>(ca - 'A' + 'a');
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb = static_cast<unsigned char>(cb - 'A' + 'a');
        }
        if (ca != cb) {
            return false;
        }
    }
    return true;
}

// The file's lines as name and value, split once: each key is then looked up without scanning
// the text again, so a huge line costs its length once.
struct Entry {
    std::string_view name;
    std::string_view value;
};

std::vector<Entry> entries(const std::vector<std::string_view>& lines) {
    std::vector<Entry> out;
    for (std::string_view line : lines) {
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos) {
            out.push_back({line.substr(0, eq), line.substr(eq + 1)});
        }
    }
    return out;
}

// One key's value: the rest of the first line whose name matches, or nullopt.
std::optional<std::string_view> findValue(const std::vector<Entry>& lines, std::string_view key) {
    for (const Entry& e : lines) {
        if (equalsNoCase(e.name, key)) {
            return e.value;
        }
    }
    return std::nullopt;
}

// A bad value as its message shows it: the message keeps 100 characters, so only a prefix (two
// bytes at most a character) is decoded, however long the value.
std::string shownValue(std::string_view bytes) {
    return platform::fromCp932(bytes.substr(0, 512));
}

// Text values end at the line: a line break inside one would split the file on the next read.
std::string oneLine(const std::string& s) {
    size_t cut = s.find_first_of("\r\n");
    return cut == std::string::npos ? s : s.substr(0, cut);
}

} // namespace

bool parseInteger(std::string_view t, int& out) {
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) {
        ++i;
    }
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        neg = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) {
        return false;
    }
    std::int64_t v = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            return false;
        }
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) {
            return false;
        }
    }
    if (neg) {
        v = -v;
    }
    if (base == 16 && v > INT32_MAX && v <= 0xFFFFFFFFLL) {
        v -= 0x100000000LL; // hexadecimal spells the bit pattern
    }
    if (v < INT32_MIN || v > INT32_MAX) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

std::string cp932Of(const Settings& s, std::string_view key, const std::string& value) {
    const auto it = s.raw.find(key);
    if (it != s.raw.end() && it->second.text == value) {
        return it->second.bytes;
    }
    return platform::toCp932(value);
}

void setFromCp932(Settings& s, std::string_view key, std::string& value, std::string_view bytes) {
    value = platform::fromCp932(bytes);
    s.raw[std::string(key)] = Settings::Raw{std::string(bytes), value};
}

std::vector<std::string> readSettings(std::string_view fileBytes, Settings& s) {
    // Split before decoding: CR, LF and "=" never occur inside a CP932 character, and each text
    // value keeps its own bytes.
    const auto lines = entries(platform::splitLines(fileBytes));
    std::vector<std::string> errors;

    auto text_ = [&](const char* key, std::string& v) {
        if (auto val = findValue(lines, key)) {
            setFromCp932(s, key, v, *val);
        }
    };
    auto int_ = [&](const char* key, int& v) {
        if (auto val = findValue(lines, key)) {
            int parsed;
            if (parseInteger(*val, parsed)) {
                v = parsed;
            } else {
                errors.push_back(platform::msgNotInteger(shownValue(*val)));
            }
        }
    };
    auto bool_ = [&](const char* key, bool& v) {
        if (auto val = findValue(lines, key)) {
            int parsed;
            if (parseInteger(*val, parsed)) {
                v = parsed == 1;
            } else {
                errors.push_back(platform::msgNotInteger(shownValue(*val)));
            }
        }
    };
    auto time_ = [&](const char* key, double& v) {
        if (auto val = findValue(lines, key)) {
            if (auto parsed = platform::parseTime(*val)) {
                v = *parsed;
            } else {
                errors.push_back(platform::msgNotTime(shownValue(*val)));
            }
        }
    };

    text_("PikImage", s.PikImage);
    int_("SerifuInterval", s.SerifuInterval);
    int_("FukidasiInterval", s.FukidasiInterval);
    int_("Top", s.Top);
    int_("Left", s.Left);
    bool_("isLog", s.isLog);
    bool_("ShowCalender", s.ShowCalender);
    int_("CalX", s.CalX);
    int_("CalY", s.CalY);
    int_("CalSize", s.CalSize);
    bool_("ShowTime", s.ShowTime);
    bool_("OClock", s.OClock);
    text_("VoiceFile", s.VoiceFile);
    int_("ClockX", s.ClockX);
    int_("ClockY", s.ClockY);
    text_("ClockFontName", s.ClockFontName);
    int_("ClockFontSize", s.ClockFontSize);
    int_("ClockFontBGColor", s.ClockFontBGColor);
    bool_("MailCheck", s.MailCheck);
    int_("MailInterval", s.MailInterval);
    int_("IsAPOP", s.IsAPOP);
    bool_("MailNotify", s.MailNotify);
    text_("MailNotifyFile", s.MailNotifyFile);
    text_("POPAccount", s.POPAccount);
    text_("POPPassword", s.POPPassword);
    text_("POPServer", s.POPServer);
    text_("LastMessageID", s.LastMessageID);
    int_("LastMailNum", s.LastMailNum);
    int_("MailX", s.MailX);
    int_("MailY", s.MailY);
    bool_("isAdjust", s.isAdjust);
    text_("NTPhost", s.NTPhost);
    int_("NTPInterval", s.NTPInterval);
    int_("NTPTimeout", s.NTPTimeout);
    int_("NTPTimezone", s.NTPTimezone);
    int_("NTPMinimalDifference", s.NTPMinimalDifference);
    for (int a = 0; a < 3; ++a) {
        const std::string n = std::to_string(a + 1);
        bool_(("IsAlerm" + n + "Enabled").c_str(), s.Alerm[a].enabled);
        time_(("Alerm" + n + "Time").c_str(), s.Alerm[a].time);
        text_(("Alerm" + n + "Voice").c_str(), s.Alerm[a].voice);
    }
    // A number outside its range is as bad as no number: the key keeps its value.
    auto ranged_ = [&](const char* key, int& v, int low, int high) {
        int parsed = v;
        int_(key, parsed);
        if (parsed >= low && parsed <= high) {
            v = parsed;
        } else if (auto val = findValue(lines, key)) {
            errors.push_back(platform::msgNotInteger(shownValue(*val)));
        }
    };
    ranged_("MailProtocol", s.MailProtocol, 0, 1);
    ranged_("POPSecurity", s.POPSecurity, 0, 2);
    ranged_("POPPort", s.POPPort, 0, 65535);
    ranged_("CharScale", s.CharScale, 50, 400);
    bool_("Quiet", s.Quiet);
    ranged_("Volume", s.Volume, 0, 100);
    bool_("HideOnFullscreen", s.HideOnFullscreen);
    return errors;
}

std::string writeSettings(const Settings& s) {
    std::string out;
    // Written in CP932 value by value; keys and numbers are ASCII.
    auto put = [&](const char* key, const std::string& bytes) {
        out += key;
        out += '=';
        out += oneLine(bytes);
        out += "\r\n";
    };
    auto line = [&](const char* key, const std::string& value) {
        put(key, cp932Of(s, key, value));
    };
    auto num = [&](const char* key, int v) { put(key, std::to_string(v)); };
    auto flag = [&](const char* key, bool v) { put(key, v ? "1" : "0"); };

    line("PikImage", s.PikImage);
    num("SerifuInterval", s.SerifuInterval);
    num("FukidasiInterval", s.FukidasiInterval);
    num("Top", s.Top);
    num("Left", s.Left);
    flag("isLog", s.isLog);
    flag("ShowCalender", s.ShowCalender);
    num("CalX", s.CalX);
    num("CalY", s.CalY);
    num("CalSize", s.CalSize);
    flag("ShowTime", s.ShowTime);
    flag("Oclock", s.OClock);
    line("VoiceFile", s.VoiceFile);
    num("ClockX", s.ClockX);
    num("ClockY", s.ClockY);
    line("ClockFontName", s.ClockFontName);
    num("ClockFontSize", s.ClockFontSize);
    num("ClockFontBGColor", s.ClockFontBGColor);
    flag("MailCheck", s.MailCheck);
    flag("MailNotify", s.MailNotify);
    num("MailInterval", s.MailInterval);
    line("POPAccount", s.POPAccount);
    line("POPPassword", s.POPPassword);
    line("POPServer", s.POPServer);
    line("MailNotifyFile", s.MailNotifyFile);
    num("IsAPOP", s.IsAPOP);
    line("LastMessageID", s.LastMessageID);
    num("LastMailNum", s.LastMailNum);
    num("MailX", s.MailX);
    num("MailY", s.MailY);
    flag("isAdjust", s.isAdjust);
    line("NTPhost", s.NTPhost);
    num("NTPInterval", s.NTPInterval);
    num("NTPTimeout", s.NTPTimeout);
    num("NTPTimezone", s.NTPTimezone);
    num("NTPMinimalDifference", s.NTPMinimalDifference);
    for (int a = 0; a < 3; ++a) {
        const AlarmSetting& al = s.Alerm[a];
        if (a > 0 && !al.enabled && al.voice.empty()) {
            continue;
        }
        const std::string n = std::to_string(a + 1);
        flag(("IsAlerm" + n + "Enabled").c_str(), al.enabled);
        line(("Alerm" + n + "Voice").c_str(), al.voice);
        put(("Alerm" + n + "Time").c_str(), platform::timeText(al.time));
    }
    num("MailProtocol", s.MailProtocol);
    num("POPSecurity", s.POPSecurity);
    num("POPPort", s.POPPort);
    num("CharScale", s.CharScale);
    flag("Quiet", s.Quiet);
    num("Volume", s.Volume);
    flag("HideOnFullscreen", s.HideOnFullscreen);
    return out;
}

Settings& settings() {
    static Settings s;
    return s;
}

void resetSettings() {
    settings() = Settings{};
}

} // namespace core
