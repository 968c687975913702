#pragma once
// A reader of rich text (RTF) from untrusted bytes. No Qt.
//
// It knows what help files use: groups, the font and colour tables, character formatting
// (bold, italic, underline, strike-through, size, colour, face), paragraph alignment and
// indents, CP932 bytes and Unicode escapes. Everything else is skipped. Nesting depth and output
// size are bounded, and a broken or truncated file yields what could be read before the break.
// The bounds are sized for a text pane: text layout slows down with the length of a paragraph
// and the number of format changes in it, so long paragraphs are broken into shorter ones.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace help {

struct RtfColor {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const RtfColor&) const = default;
};

enum class RtfAlign { Left, Center, Right, Justify };

// A stretch of text in one format. Text is UTF-8; a line break inside the paragraph is U+2028.
struct RtfRun {
    std::string text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int halfPoints = 24;           // \fs, in half-points
    std::optional<RtfColor> color; // none: the pane's own text colour
    std::string font;              // face to ask for; "" for the pane's own
    bool sameFormat(const RtfRun& o) const {
        return bold == o.bold && italic == o.italic && underline == o.underline &&
               strike == o.strike && halfPoints == o.halfPoints && color == o.color &&
               font == o.font;
    }
};

struct RtfParagraph {
    std::vector<RtfRun> runs;
    RtfAlign align = RtfAlign::Left;
    int leftIndent = 0; // twips
    int rightIndent = 0;
    int firstIndent = 0; // relative to leftIndent, may be negative
    std::string text() const;
};

struct RtfDocument {
    std::vector<RtfParagraph> paragraphs;
    // False when the input ended early, was malformed, or a limit cut it short.
    bool complete = true;
    // True when the output bound left text out: what is shown is not all there is.
    bool cut = false;
    // The paragraphs' text joined with "\n"; handy for tests and plain views.
    std::string text() const;
};

struct RtfLimits {
    std::size_t maxDepth = 200;           // deeper groups are skipped
    std::size_t maxOutput = 1u << 20;     // bytes of text plus a charge per run and paragraph
    std::size_t maxParagraph = 16u << 10; // bytes of text plus a charge per run; longer
                                          // paragraphs are broken, at a space where there is one
    std::size_t maxTableEntries = 4096;   // fonts and colours each
};

// Reads `bytes` as RTF. Input that does not start with "{\rtf" is taken as CP932 plain text,
// one paragraph per line.
RtfDocument readRtf(std::string_view bytes, const RtfLimits& limits = {});

// Reads `bytes` as CP932 plain text, one paragraph per line (CR LF, CR or LF), within the same
// bounds, whatever the bytes start with.
RtfDocument readPlainText(std::string_view bytes, const RtfLimits& limits = {});

// The face the desktop has for a face name a file may ask for (the Japanese MS faces map to the
// IPA faces); other names come back as they are.
std::string mapFontFace(const std::string& face);

} // namespace help
