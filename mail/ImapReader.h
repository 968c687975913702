#pragma once
// IMAP responses from a server's bytes as they arrive: a response is a line, or lines joined by
// literals ("{n}" at a line's end, then n bytes). Everything is bounded, so a hostile server
// costs at most a little memory and the time the dialogue allows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

// A response's text beyond this (its lines together, without literals) breaks the reader.
constexpr size_t kImapTextBytes = 64 * 1024;
// Literal bytes kept per response, and literals recorded per response; the rest is read and
// dropped.
constexpr size_t kImapLiteralKeepBytes = 64 * 1024;
constexpr size_t kImapLiteralsKept = 16;

struct ImapLiteral {
    size_t at = 0;     // where in the text its "{n}" announcement ends
    std::string bytes; // as many of its bytes as are kept
};

struct ImapResponse {
    std::string text; // the lines without their line ends, announcements left in place
    std::vector<ImapLiteral> literals;
    bool cut = false; // literal bytes were dropped
};

class ImapReader {
public:
    // Bytes as received; the caller feeds more only when next() has nothing.
    void feed(std::string_view bytes);
    // The next complete response, or nothing until more bytes come (or ever, once broken).
    std::optional<ImapResponse> next();
    // A response overran its bound or announced a literal of no valid size.
    bool broken() const { return broken_; }
    // Forgets every byte received and the response under way: nothing the server sent before
    // this may be taken for a reply after it.
    void discard();

private:
    // Ends the line in `response_.text`; true when the response is complete.
    bool endLine();

    std::string in_;
    size_t pos_ = 0;
    ImapResponse response_;
    std::uint64_t literalLeft_ = 0;
    bool inLiteral_ = false;
    bool keepLiteral_ = false;
    size_t keptBytes_ = 0;
    size_t lineStart_ = 0; // where the current line begins in the response's text
    bool broken_ = false;
};

// A number of decimal digits only, at most `max`.
bool imapNumber(std::string_view text, std::uint64_t max, std::uint64_t& out);

} // namespace mail
