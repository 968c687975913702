#include "mail/ImapReader.h"

#include <algorithm>

namespace mail {

namespace {

// Literal sizes are IMAP numbers: 32 bits unsigned.
constexpr std::uint64_t kMaxImapNumber = 0xFFFFFFFFu;

} // namespace

bool imapNumber(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    if (text.empty()) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (v > (max - digit) / 10) {
            return false;
        }
        v = v * 10 + digit;
    }
    out = v;
    return true;
}

void ImapReader::feed(std::string_view bytes) {
    if (broken_) {
        return;
    }
    if (pos_ > 0) {
        in_.erase(0, pos_);
        pos_ = 0;
    }
    in_.append(bytes);
}

void ImapReader::discard() {
    in_.clear();
    pos_ = 0;
    response_ = ImapResponse{};
    literalLeft_ = 0;
    inLiteral_ = false;
    keepLiteral_ = false;
    keptBytes_ = 0;
    lineStart_ = 0;
}

std::optional<ImapResponse> ImapReader::next() {
    while (!broken_ && pos_ < in_.size()) {
        if (inLiteral_) {
            const size_t n =
                static_cast<size_t>(std::min<std::uint64_t>(literalLeft_, in_.size() - pos_));
            if (keepLiteral_) {
                const size_t keep = std::min(n, kImapLiteralKeepBytes - keptBytes_);
                response_.literals.back().bytes.append(in_, pos_, keep);
                keptBytes_ += keep;
                response_.cut = response_.cut || keep < n;
            }
            pos_ += n;
            literalLeft_ -= n;
            if (literalLeft_ == 0) {
                inLiteral_ = false;
            }
            continue;
        }
        const size_t nl = in_.find('\n', pos_);
        const size_t end = nl == std::string::npos ? in_.size() : nl;
        if (response_.text.size() + (end - pos_) > kImapTextBytes) {
            broken_ = true;
            break;
        }
        response_.text.append(in_, pos_, end - pos_);
        if (nl == std::string::npos) {
            pos_ = in_.size();
            break;
        }
        pos_ = nl + 1;
        if (endLine()) {
            ImapResponse done = std::move(response_);
            response_ = ImapResponse{};
            keptBytes_ = 0;
            lineStart_ = 0;
            return done;
        }
    }
    if (pos_ == in_.size()) {
        in_.clear();
        pos_ = 0;
    }
    return std::nullopt;
}

bool ImapReader::endLine() {
    std::string& text = response_.text;
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    // "{n}" (or the non-synchronising "{n+}") at the line's end announces a literal; the
    // announcement before a literal that ends a response is no new one.
    const size_t lineStart = lineStart_;
    lineStart_ = text.size();
    if (text.size() == lineStart || text.back() != '}') {
        return true;
    }
    const size_t open = text.rfind('{');
    if (open == std::string::npos || open < lineStart) {
        return true;
    }
    std::string_view digits(text.data() + open + 1, text.size() - open - 2);
    if (!digits.empty() && digits.back() == '+') {
        digits.remove_suffix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return true; // a brace, not an announcement
    }
    std::uint64_t size = 0;
    if (!imapNumber(digits, kMaxImapNumber, size)) {
        broken_ = true; // how many bytes follow is unknown
        return false;
    }
    keepLiteral_ = response_.literals.size() < kImapLiteralsKept;
    if (keepLiteral_) {
        response_.literals.push_back(ImapLiteral{text.size(), {}});
    } else {
        response_.cut = true;
    }
    literalLeft_ = size;
    inLiteral_ = size > 0;
    return false;
}

} // namespace mail
