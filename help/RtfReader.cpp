#include "help/RtfReader.h"

#include <algorithm>
#include <map>

#include "help/RtfBuilder.h"
#include "help/RtfWords.h"
#include "platform/TextCodec.h"

namespace help {

std::string mapFontFace(const std::string& face) {
    static const std::map<std::string, std::string> kFaces = {
        {"ＭＳ 明朝", "IPAMincho"},        {"MS Mincho", "IPAMincho"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},     {"MS PMincho", "IPAPMincho"},
        {"ＭＳ ゴシック", "IPAGothic"},    {"MS Gothic", "IPAGothic"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
    };
    const auto it = kFaces.find(face);
    return it == kFaces.end() ? face : it->second;
}

namespace {

using namespace rtf;

constexpr int kMaxIndent = 31680; // 22 inches in twips
constexpr std::size_t kMaxFaceBytes = 256;

const char* const kLineBreak = "\u2028";

struct CharState {
    bool bold = false, italic = false, underline = false, strike = false;
    int halfPoints = 24;
    int color = 0;
    int font = -1; // -1: the document's default font
};

enum class Dest { Text, FontTable, ColorTable, Skip };

struct GroupState {
    CharState ch;
    RtfParagraphFormat para;
    int uc = 1;
    Dest dest = Dest::Text;
};

class Reader {
public:
    Reader(std::string_view in, const RtfLimits& limits) : in_(in), limits_(limits) {}

    RtfDocument readRich() {
        bool ended = false;
        while (pos_ < in_.size() && !out_.full()) {
            const auto c = static_cast<unsigned char>(in_[pos_]);
            if (c == '{') {
                ++pos_;
                openGroup();
            } else if (c == '}') {
                ++pos_;
                if (closeGroup()) {
                    ended = true;
                    break;
                }
            } else if (c == '\\') {
                ++pos_;
                control();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else if (isLead(c) && pos_ + 1 < in_.size() &&
                       isTrail(static_cast<unsigned char>(in_[pos_ + 1]))) {
                // A raw double-byte character: its trail byte may be a backslash or a brace
                // and must not be read as syntax.
                if (!consumeSkip()) {
                    textByte(c, false);
                    textByte(static_cast<unsigned char>(in_[pos_ + 1]), false);
                }
                pos_ += 2;
            } else {
                ++pos_;
                textByte(c);
            }
        }
        finish();
        if (!ended) {
            doc_.complete = false;
        }
        return std::move(doc_);
    }

    RtfDocument readPlain() {
        size_t start = 0;
        while (start < in_.size() && !out_.full()) {
            size_t end = in_.find_first_of("\r\n", start);
            if (end == std::string_view::npos) {
                end = in_.size();
            }
            appendText(platform::fromCp932(in_.substr(start, end - start)));
            endParagraph();
            if (end + 1 < in_.size() && in_[end] == '\r' && in_[end + 1] == '\n') {
                ++end;
            }
            start = end + 1;
        }
        return std::move(doc_);
    }

private:
    // ---- groups

    bool skipping() const { return overflow_ > 0 || cur_.dest == Dest::Skip; }

    void openGroup() {
        flush();
        skipChars_ = 0;
        if (overflow_ > 0 || stack_.size() >= limits_.maxDepth) {
            ++overflow_; // too deep: the group is read past, not shown
            doc_.complete = false;
            return;
        }
        stack_.push_back(cur_);
    }

    // True when the document's outermost group closed.
    bool closeGroup() {
        flush();
        skipChars_ = 0;
        if (overflow_ > 0) {
            --overflow_;
            return false;
        }
        if (cur_.dest == Dest::FontTable) {
            commitFont();
        }
        if (stack_.size() <= 1) {
            // The document's end. Its last paragraph, still open, keeps the document's format
            // rather than taking the one from outside the document.
            stack_.clear();
            return true;
        }
        cur_ = stack_.back();
        stack_.pop_back();
        return false;
    }

    // ---- control words and symbols

    void control() {
        if (pos_ >= in_.size()) {
            doc_.complete = false; // a lone backslash at the end
            return;
        }
        const char c = in_[pos_];
        if (isAlpha(c)) {
            controlWord();
            return;
        }
        ++pos_;
        if (c == '\'') {
            hexByte();
            return;
        }
        if (consumeSkip()) {
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}':
            textByte(static_cast<unsigned char>(c), false);
            break;
        case '~':
            special(0x00A0);
            break;
        case '-':
            special(0x00AD);
            break;
        case '_':
            special(0x2011);
            break;
        case '*':
            if (!skipping()) {
                cur_.dest = Dest::Skip;
            }
            break;
        case '\r':
        case '\n':
            if (!skipping() && cur_.dest == Dest::Text) {
                endParagraph();
            }
            break;
        case '\t':
            special('\t');
            break;
        default:
            break;
        }
    }

    void hexByte() {
        int hi = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
        int lo = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
        if (hi < 0 || lo < 0) {
            doc_.complete = false; // a broken escape: step over its digits and go on
            while (pos_ < in_.size() && hexValue(in_[pos_]) >= 0 && hi >= 0) {
                ++pos_;
                hi = -1;
            }
            return;
        }
        pos_ += 2;
        textByte(static_cast<unsigned char>(hi * 16 + lo));
    }

    void controlWord() {
        const size_t start = pos_;
        while (pos_ < in_.size() && isAlpha(in_[pos_])) {
            ++pos_;
        }
        // Longer names are no word we know; keep them unrecognisable rather than cut them.
        const std::string_view word = in_.substr(start, std::min<size_t>(pos_ - start, 32));
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            if (param < 100000000000LL) {
                param = param * 10 + (in_[pos_] - '0');
            }
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') {
            ++pos_;
        }
        param = std::clamp(negative ? -param : param, -2147483648LL, 2147483647LL);
        if (word == "bin") {
            // Binary data follows; it is never text, whatever its bytes look like.
            const auto n = static_cast<size_t>(std::max(0LL, param));
            if (n > in_.size() - pos_) {
                doc_.complete = false;
            }
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        dispatch(word, hasParam, static_cast<int>(param));
    }

    void dispatch(std::string_view w, bool hasParam, int param) {
        if (consumeSkip()) {
            return;
        }
        flush();
        if (skipping()) {
            return;
        }
        if (w == "fonttbl") {
            cur_.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            cur_.dest = Dest::ColorTable;
            colors_.clear();
            return;
        }
        if (isHiddenDestination(w)) {
            cur_.dest = Dest::Skip;
            return;
        }
        if (cur_.dest == Dest::FontTable) {
            if (w == "f") {
                commitFont();
                fontNumber_ = param;
            } else if (w == "u") {
                skipChars_ = cur_.uc;
            }
            return;
        }
        if (cur_.dest == Dest::ColorTable) {
            const auto v = static_cast<std::uint8_t>(std::clamp(param, 0, 255));
            if (w == "red") {
                pendingColor_.r = v;
                colorSet_ = true;
            } else if (w == "green") {
                pendingColor_.g = v;
                colorSet_ = true;
            } else if (w == "blue") {
                pendingColor_.b = v;
                colorSet_ = true;
            }
            return;
        }
        textWord(w, hasParam, param);
    }

    void textWord(std::string_view w, bool hasParam, int param) {
        const bool on = !hasParam || param != 0;
        CharState& ch = cur_.ch;
        RtfParagraphFormat& pa = cur_.para;
        if (w == "b") {
            ch.bold = on;
        } else if (w == "i") {
            ch.italic = on;
        } else if (w == "strike") {
            ch.strike = on;
        } else if (w == "ulnone") {
            ch.underline = false;
        } else if (isUnderlineWord(w)) {
            ch.underline = on;
        } else if (w == "fs") {
            ch.halfPoints = hasParam && param > 0 ? std::clamp(param, 2, 400) : 24;
        } else if (w == "cf") {
            ch.color = std::max(param, 0);
        } else if (w == "f") {
            ch.font = std::max(param, 0);
        } else if (w == "deff") {
            defaultFont_ = param;
        } else if (w == "plain") {
            ch = CharState{};
        } else if (w == "pard") {
            pa = RtfParagraphFormat{};
        } else if (w == "ql") {
            pa.align = RtfAlign::Left;
        } else if (w == "qc") {
            pa.align = RtfAlign::Center;
        } else if (w == "qr") {
            pa.align = RtfAlign::Right;
        } else if (w == "qj") {
            pa.align = RtfAlign::Justify;
        } else if (w == "li") {
            pa.left = std::clamp(param, -kMaxIndent, kMaxIndent);
        } else if (w == "ri") {
            pa.right = std::clamp(param, -kMaxIndent, kMaxIndent);
        } else if (w == "fi") {
            pa.first = std::clamp(param, -kMaxIndent, kMaxIndent);
        } else if (w == "par" || w == "sect" || w == "page" || w == "row") {
            endParagraph();
        } else if (w == "line") {
            appendText(kLineBreak);
        } else if (w == "tab" || w == "cell") {
            appendText("\t");
        } else if (w == "u") {
            unicode(param);
            skipChars_ = cur_.uc;
        } else if (w == "uc") {
            cur_.uc = std::clamp(param, 0, 16);
        } else if (w == "emdash") {
            appendText("\u2014");
        } else if (w == "endash") {
            appendText("\u2013");
        } else if (w == "bullet") {
            appendText("\u2022");
        } else if (w == "lquote") {
            appendText("\u2018");
        } else if (w == "rquote") {
            appendText("\u2019");
        } else if (w == "ldblquote") {
            appendText("\u201C");
        } else if (w == "rdblquote") {
            appendText("\u201D");
        } else if (w == "emspace" || w == "enspace" || w == "qmspace") {
            appendText(" ");
        }
        // Any other word is formatting we do not show.
    }

    void unicode(int param) {
        // The value is a signed 16-bit number; writers put characters above 32767 as negatives.
        long long cp = param < 0 ? param + 65536LL : param;
        if (cp >= 0xD800 && cp < 0xDC00) {
            if (highSurrogate_) {
                highSurrogate_ = 0;
                appendText("?");
            }
            highSurrogate_ = static_cast<std::uint32_t>(cp);
            return;
        }
        if (cp >= 0xDC00 && cp < 0xE000) {
            if (!highSurrogate_) {
                appendText("?");
                return;
            }
            const std::uint32_t full = 0x10000 + ((highSurrogate_ - 0xD800) << 10) +
                                       (static_cast<std::uint32_t>(cp) - 0xDC00);
            highSurrogate_ = 0;
            appendText(utf8(full));
            return;
        }
        if (cp < 0 || cp > 0x10FFFF) {
            appendText("?");
        } else if (cp == '\t' || cp >= 0x20) {
            appendText(utf8(static_cast<std::uint32_t>(cp)));
        }
    }

    // ---- text

    // A \u is followed by its fallback for older readers; that many characters are dropped.
    bool consumeSkip() {
        if (skipChars_ > 0) {
            --skipChars_;
            return true;
        }
        return false;
    }

    void special(std::uint32_t cp) {
        if (skipping() || cur_.dest != Dest::Text) {
            return;
        }
        flush();
        appendText(utf8(cp));
    }

    void textByte(unsigned char b, bool countsForSkip = true) {
        if (countsForSkip && consumeSkip()) {
            return;
        }
        if (skipping()) {
            return;
        }
        if (cur_.dest == Dest::FontTable) {
            if (b == ';') {
                commitFont();
            } else if (faceBytes_.size() < kMaxFaceBytes) {
                faceBytes_ += static_cast<char>(b);
            }
            return;
        }
        if (cur_.dest == Dest::ColorTable) {
            if (b == ';') {
                commitColor();
            }
            return;
        }
        if (b < 0x20 && b != '\t') {
            return; // control bytes are never text; a trail byte is never below 0x40
        }
        bytes_ += static_cast<char>(b);
        if (bytes_.size() > 4096) {
            flushAtBoundary();
        }
    }

    // Decodes the collected CP932 bytes into the current run.
    void flush() {
        if (bytes_.empty()) {
            return;
        }
        std::string pending;
        pending.swap(bytes_);
        // CP932's single bytes below 0x80 are ASCII; most of a file needs no converter at all.
        const bool ascii = std::all_of(pending.begin(), pending.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        appendText(ascii ? pending : platform::fromCp932(pending));
    }

    // A long stretch of bytes is decoded in pieces, but never between the two bytes of a pair.
    void flushAtBoundary() {
        size_t i = 0;
        size_t cut = 0;
        while (i < bytes_.size()) {
            const auto b = static_cast<unsigned char>(bytes_[i]);
            const size_t len = isLead(b) ? 2 : 1;
            if (i + len > bytes_.size()) {
                break;
            }
            i += len;
            cut = i;
        }
        std::string rest = bytes_.substr(cut);
        bytes_.resize(cut);
        flush();
        bytes_ = std::move(rest);
    }

    RtfRun format() const {
        RtfRun r;
        r.bold = cur_.ch.bold;
        r.italic = cur_.ch.italic;
        r.underline = cur_.ch.underline;
        r.strike = cur_.ch.strike;
        r.halfPoints = cur_.ch.halfPoints;
        const auto color = static_cast<size_t>(cur_.ch.color);
        if (color > 0 && color < colors_.size()) {
            r.color = colors_[color];
        }
        const int font = cur_.ch.font >= 0 ? cur_.ch.font : defaultFont_;
        if (const auto it = fonts_.find(font); it != fonts_.end()) {
            r.font = it->second;
        }
        return r;
    }

    void appendText(const std::string& text) {
        if (text.empty() || skipping() || cur_.dest != Dest::Text) {
            return;
        }
        // A high surrogate with no low one after it stands for one unknown character.
        const std::string t = highSurrogate_ ? "?" + text : text;
        highSurrogate_ = 0;
        out_.append(t, format(), cur_.para);
    }

    void endParagraph() {
        flush();
        out_.endParagraph(cur_.para);
    }

    void finish() {
        flush();
        if (highSurrogate_) {
            highSurrogate_ = 0;
            appendText("?"); // a high surrogate left alone
        }
        if (out_.paragraphOpen()) {
            endParagraph();
        }
    }

    // ---- tables

    void commitFont() {
        std::string face = platform::fromCp932(faceBytes_);
        faceBytes_.clear();
        const auto notSpace = [](char c) { return c != ' '; };
        face.erase(face.begin(), std::find_if(face.begin(), face.end(), notSpace));
        face.erase(std::find_if(face.rbegin(), face.rend(), notSpace).base(), face.end());
        if (!face.empty() && fontNumber_ >= 0 &&
            (fonts_.size() < limits_.maxTableEntries || fonts_.count(fontNumber_))) {
            fonts_[fontNumber_] = mapFontFace(face);
        }
    }

    void commitColor() {
        if (colors_.size() < limits_.maxTableEntries) {
            colors_.push_back(colorSet_ ? std::optional(pendingColor_) : std::nullopt);
        }
        pendingColor_ = {};
        colorSet_ = false;
    }

    std::string_view in_;
    const RtfLimits& limits_;
    size_t pos_ = 0;

    GroupState cur_;
    std::vector<GroupState> stack_;
    size_t overflow_ = 0;
    int skipChars_ = 0;
    std::uint32_t highSurrogate_ = 0;
    std::string bytes_;

    std::map<int, std::string> fonts_;
    int defaultFont_ = -1;
    int fontNumber_ = -1;
    std::string faceBytes_;
    std::vector<std::optional<RtfColor>> colors_;
    RtfColor pendingColor_;
    bool colorSet_ = false;

    RtfDocument doc_;
    RtfBuilder out_{doc_, limits_};
};

} // namespace

RtfDocument readRtf(std::string_view bytes, const RtfLimits& limits) {
    Reader reader(bytes, limits);
    if (bytes.starts_with("{\\rtf")) {
        return reader.readRich();
    }
    return reader.readPlain();
}

RtfDocument readPlainText(std::string_view bytes, const RtfLimits& limits) {
    return Reader(bytes, limits).readPlain();
}

} // namespace help
