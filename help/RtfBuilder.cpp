#include "help/RtfBuilder.h"

#include <algorithm>
#include <iterator>

namespace help {

namespace {

// The longest prefix of UTF-8 text no longer than `n` bytes that ends between characters.
std::size_t characterBoundary(std::string_view t, std::size_t n) {
    if (n >= t.size()) {
        return t.size();
    }
    while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80) {
        --n;
    }
    return n;
}

} // namespace

bool RtfBuilder::charge(std::size_t n) {
    if (full_ || n > limits_.maxOutput - used_) {
        markCut();
        return false;
    }
    used_ += n;
    return true;
}

void RtfBuilder::markCut() {
    full_ = true;
    doc_.complete = false;
    doc_.cut = true;
}

void RtfBuilder::append(std::string_view text, const RtfRun& run,
                        const RtfParagraphFormat& paragraph) {
    if (text.empty()) {
        return;
    }
    const bool extend = !para_.runs.empty() && para_.runs.back().sameFormat(run);
    const std::size_t overhead = extend ? 0 : kItemCharge;
    const std::size_t room = limits_.maxOutput - used_;
    if (!full_ && text.size() + overhead > room && room > overhead) {
        // Keep what fits and take no more.
        text = text.substr(0, characterBoundary(text, room - overhead));
        used_ = limits_.maxOutput;
        markCut();
        if (text.empty()) {
            return;
        }
    } else if (!charge(text.size() + overhead)) {
        return;
    }
    place(text, run, paragraph);
}

void RtfBuilder::place(std::string_view text, RtfRun run, const RtfParagraphFormat& paragraph) {
    // Never so small that a character and its run's charge would not fit an empty paragraph.
    const std::size_t bound = std::max(limits_.maxParagraph, kItemCharge + 8);
    while (!text.empty()) {
        const bool extend = !para_.runs.empty() && para_.runs.back().sameFormat(run);
        const std::size_t cost = paraUsed_ + (extend ? 0 : kItemCharge);
        const std::size_t room = bound > cost ? bound - cost : 0;
        const std::size_t n = characterBoundary(text, room);
        if (n > 0) {
            if (extend) {
                para_.runs.back().text += text.substr(0, n);
            } else {
                run.text = text.substr(0, n);
                para_.runs.push_back(run);
            }
            paraUsed_ = cost + n;
            text.remove_prefix(n);
        }
        if (!text.empty()) {
            breakParagraph(paragraph);
        }
    }
}

void RtfBuilder::breakParagraph(const RtfParagraphFormat& paragraph) {
    // After the last space, so that a word stays whole; where it is when there is none.
    RtfParagraph rest;
    for (std::size_t i = para_.runs.size(); i-- > 0;) {
        std::string& text = para_.runs[i].text;
        const std::size_t space = text.rfind(' ');
        if (space == std::string::npos) {
            continue;
        }
        if (space + 1 < text.size()) {
            RtfRun tail = para_.runs[i];
            tail.text = text.substr(space + 1);
            text.resize(space + 1);
            rest.runs.push_back(std::move(tail));
        }
        std::move(para_.runs.begin() + static_cast<std::ptrdiff_t>(i) + 1, para_.runs.end(),
                  std::back_inserter(rest.runs));
        para_.runs.resize(i + 1);
        break;
    }
    pushParagraph(paragraph);
    para_ = std::move(rest);
    continued_ = true;
    for (const RtfRun& r : para_.runs) {
        paraUsed_ += kItemCharge + r.text.size();
    }
}

void RtfBuilder::pushParagraph(const RtfParagraphFormat& paragraph) {
    para_.align = paragraph.align;
    para_.leftIndent = paragraph.left;
    para_.rightIndent = paragraph.right;
    // The later parts of a broken paragraph are its later lines: no first-line indent.
    para_.firstIndent = continued_ ? 0 : paragraph.first;
    doc_.paragraphs.push_back(std::move(para_));
    para_ = RtfParagraph{};
    paraUsed_ = 0;
}

void RtfBuilder::endParagraph(const RtfParagraphFormat& paragraph) {
    // Text already taken is kept even when the break itself no longer fits.
    if (!charge(kItemCharge) && para_.runs.empty()) {
        return;
    }
    pushParagraph(paragraph);
    continued_ = false;
}

std::string RtfParagraph::text() const {
    std::string out;
    for (const RtfRun& r : runs) {
        out += r.text;
    }
    return out;
}

std::string RtfDocument::text() const {
    std::string out;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) {
            out += '\n';
        }
        out += paragraphs[i].text();
    }
    return out;
}

} // namespace help
