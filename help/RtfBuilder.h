#pragma once
// The output side of the rich-text reader: text in runs, runs in paragraphs, within the output
// and paragraph bounds. No Qt.
#include <string_view>

#include "help/RtfReader.h"

namespace help {

struct RtfParagraphFormat {
    RtfAlign align = RtfAlign::Left;
    int left = 0, right = 0, first = 0; // twips
};

class RtfBuilder {
public:
    RtfBuilder(RtfDocument& doc, const RtfLimits& limits) : doc_(doc), limits_(limits) {}

    // Adds text in the format of `run` (its own text is ignored) to the open paragraph, merged
    // into the last run when that has the same format. Text beyond the output bound is left
    // out (cut between characters) and the document marked as cut; a paragraph that reaches its
    // bound is broken and goes on in another of format `paragraph`.
    void append(std::string_view text, const RtfRun& run, const RtfParagraphFormat& paragraph);
    // Closes the open paragraph, even an empty one, while the output bound allows.
    void endParagraph(const RtfParagraphFormat& paragraph);
    bool paragraphOpen() const { return !para_.runs.empty(); }
    // True once the output bound was reached: nothing more will be added.
    bool full() const { return full_; }

    // What a run and a paragraph break cost against the bounds besides their text, so a flood of
    // empty paragraphs or format changes is bounded too.
    static constexpr std::size_t kItemCharge = 32;

private:
    bool charge(std::size_t n);
    void markCut();
    void place(std::string_view text, RtfRun run, const RtfParagraphFormat& paragraph);
    void breakParagraph(const RtfParagraphFormat& paragraph);
    void pushParagraph(const RtfParagraphFormat& paragraph);

    RtfDocument& doc_;
    const RtfLimits& limits_;
    RtfParagraph para_;
    std::size_t paraUsed_ = 0; // what para_ holds, counted as maxParagraph counts it
    bool continued_ = false;   // para_ goes on from a paragraph broken at its bound
    std::size_t used_ = 0;     // counted against maxOutput
    bool full_ = false;
};

} // namespace help
