#include <gtest/gtest.h>

#include <string>

#include "help/RtfReader.h"

using help::readRtf;
using help::RtfAlign;
using help::RtfColor;
using help::RtfDocument;

namespace {

std::string text(std::string_view rtf) {
    return readRtf(rtf).text();
}

// The runs of the only paragraph.
const std::vector<help::RtfRun>& runs(const RtfDocument& d) {
    EXPECT_EQ(d.paragraphs.size(), 1u);
    static const std::vector<help::RtfRun> none;
    return d.paragraphs.empty() ? none : d.paragraphs[0].runs;
}

} // namespace

TEST(RtfReader, GroupsScopeCharacterFormatting) {
    const RtfDocument d = readRtf(R"({\rtf1 a{\b b{\i c}}d\b e\b0 f})");
    EXPECT_TRUE(d.complete);
    const auto& r = runs(d);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[0].text, "a");
    EXPECT_FALSE(r[0].bold);
    EXPECT_EQ(r[1].text, "b");
    EXPECT_TRUE(r[1].bold);
    EXPECT_EQ(r[2].text, "c");
    EXPECT_TRUE(r[2].bold && r[2].italic);
    EXPECT_EQ(r[3].text, "d"); // the group's end restored plain text
    EXPECT_FALSE(r[3].bold || r[3].italic);
    EXPECT_EQ(r[4].text, "e");
    EXPECT_TRUE(r[4].bold);
    EXPECT_FALSE(r[5].bold);
    EXPECT_EQ(d.text(), "abcdef");
}

TEST(RtfReader, UnderlineStrikeSizeAndPlain) {
    const RtfDocument d =
        readRtf(R"({\rtf1\ul u\ulnone n\uldb w\ul0\strike s\strike0\fs40 l\plain p})");
    const auto& r = runs(d);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_TRUE(r[0].underline);
    EXPECT_FALSE(r[1].underline);
    EXPECT_TRUE(r[2].underline); // double underline shows as underline
    EXPECT_EQ(r[2].text, "w");
    EXPECT_TRUE(r[3].strike && !r[3].underline);
    EXPECT_EQ(r[4].halfPoints, 40);
    EXPECT_FALSE(r[4].strike);
    EXPECT_EQ(r[5].halfPoints, 24);
    EXPECT_EQ(d.text(), "unwslp");
    // Sizes from the file are bounded: no zero-sized or page-filling glyphs.
    EXPECT_EQ(runs(readRtf(R"({\rtf1\fs0 x})"))[0].halfPoints, 24);
    EXPECT_EQ(runs(readRtf(R"({\rtf1\fs99999999999 x})"))[0].halfPoints, 400);
    EXPECT_EQ(runs(readRtf(R"({\rtf1\fs-8 x})"))[0].halfPoints, 24);
}

TEST(RtfReader, ColoursFromTheTable) {
    const RtfDocument d = readRtf(
        R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green128\blue999;}\cf2 x\cf1 y\cf0 z\cf7 w})");
    const auto& r = runs(d);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].color, (RtfColor{0, 128, 255})); // clamped
    EXPECT_EQ(r[1].color, (RtfColor{255, 0, 0}));
    EXPECT_EQ(r[2].text, "zw"); // 0 is "auto", and a missing entry too
    EXPECT_FALSE(r[2].color.has_value());
    EXPECT_EQ(d.text(), "xyzw");
}

TEST(RtfReader, FontsFromTheTableWithMsFacesMapped) {
    // ＭＳ 明朝 in CP932, inside a table with entries in groups and without, and alternates.
    const RtfDocument d =
        readRtf("{\\rtf1\\ansi\\ansicpg932\\deff1{\\fonttbl{\\f0\\froman Times New Roman;}"
                "{\\f1\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9{\\*\\falt MS "
                "Mincho};}\\f2\\fswiss MS PGothic;}"
                "a\\f0 b\\f2 c\\f5 d}");
    const auto& r = runs(d);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].font, "IPAMincho"); // the default font
    EXPECT_EQ(r[1].font, "Times New Roman");
    EXPECT_EQ(r[2].font, "IPAPGothic");
    EXPECT_EQ(r[3].font, ""); // not in the table
    EXPECT_EQ(d.text(), "abcd");
    EXPECT_EQ(help::mapFontFace("ＭＳ Ｐゴシック"), "IPAPGothic");
    EXPECT_EQ(help::mapFontFace("ＭＳ ゴシック"), "IPAGothic");
}

TEST(RtfReader, ParagraphsBreaksAndParagraphFormatting) {
    const RtfDocument d = readRtf("{\\rtf1\\qc\\li720\\ri360\\fi-240 one\\line two\\tab x\\par\n"
                                  "still\\par\\pard\\qr r\\par{\\qj j\\par}\\ql l\\par tail}");
    ASSERT_EQ(d.paragraphs.size(), 6u);
    const auto& p = d.paragraphs;
    EXPECT_EQ(p[0].text(), "one\u2028two\tx");
    EXPECT_EQ(p[0].align, RtfAlign::Center);
    EXPECT_EQ(p[0].leftIndent, 720);
    EXPECT_EQ(p[0].rightIndent, 360);
    EXPECT_EQ(p[0].firstIndent, -240);
    EXPECT_EQ(p[1].text(), "still"); // paragraph formatting lasts until \pard
    EXPECT_EQ(p[1].align, RtfAlign::Center);
    EXPECT_EQ(p[1].leftIndent, 720);
    EXPECT_EQ(p[2].align, RtfAlign::Right);
    EXPECT_EQ(p[2].leftIndent, 0);
    EXPECT_EQ(p[3].align, RtfAlign::Justify);
    EXPECT_EQ(p[4].align, RtfAlign::Left);
    EXPECT_EQ(p[5].text(), "tail"); // text after the last \par is a paragraph too
    EXPECT_EQ(p[5].align, RtfAlign::Left);
    // ... in the document's format, not the one from before the document began.
    EXPECT_EQ(readRtf("{\\rtf1\\qc\\li90 tail}").paragraphs[0].align, RtfAlign::Center);
    EXPECT_EQ(readRtf("{\\rtf1\\qc\\li90 tail}").paragraphs[0].leftIndent, 90);
    // An empty paragraph is an empty line.
    EXPECT_EQ(text("{\\rtf1 a\\par\\par b}"), "a\n\nb");
    // A backslash before a line end is a paragraph mark; bare line ends are nothing.
    EXPECT_EQ(text("{\\rtf1 a\r\nb\\\nc}"), "ab\nc");
}

TEST(RtfReader, SpecialCharacters) {
    EXPECT_EQ(text(R"({\rtf1 a\~b\-c\_d\\e\{f\}})"), "a\u00A0b\u00ADc\u2011d\\e{f}");
    EXPECT_EQ(text(R"({\rtf1\emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})"),
              "\u2014\u2013\u2022\u2018\u2019\u201C\u201D");
}

TEST(RtfReader, SkipsWhatItDoesNotShow) {
    const std::string rtf = "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s1 Heading;}}"
                            "{\\*\\generator G;}{\\*\\unknowndest x{y}z}"
                            "a{\\pict\\pngblip 89504e47{\\*\\blipuid 0}}b\\madeupword12 c"
                            "{\\header H}{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt d}}"
                            "\\bin3 }{}e}";
    const RtfDocument d = readRtf(rtf);
    EXPECT_EQ(d.text(), "abcde");
    EXPECT_TRUE(d.complete);
}

TEST(RtfReader, Cp932BytesAndPairs) {
    // あ, ～ (which strict Shift_JIS lacks) and ① (an NEC row character).
    EXPECT_EQ(text(R"({\rtf1\ansi\ansicpg932 \'82\'a0\'81\'60\'87\'40})"), "あ～①");
    // Trail bytes that are a backslash or a brace: 表 (95 5C) and ソ (83 5C), escaped and raw.
    EXPECT_EQ(text(R"({\rtf1 \'95\'5c\'83\'5c})"), "表ソ");
    EXPECT_EQ(text("{\\rtf1 \x95\\\x83\\x}"), "表ソx");
    // A pair split over a line end of the file.
    EXPECT_EQ(text(R"({\rtf1 \'82
\'a0})"),
              "あ");
    // The pair belongs to the format it started in.
    const RtfDocument d = readRtf(R"({\rtf1 \'82\'a0{\b \'82\'a2}})");
    ASSERT_EQ(runs(d).size(), 2u);
    EXPECT_EQ(runs(d)[1].text, "い");
    // A lead byte with no trail becomes "?", never swallowing what follows.
    EXPECT_EQ(text(R"({\rtf1 \'82\par x})"), "?\nx");
    // Control bytes are never text.
    EXPECT_EQ(text(R"({\rtf1 a\'00\'07b})"), "ab");
}

TEST(RtfReader, UnicodeEscapesAndFallbackSkipping) {
    EXPECT_EQ(text(R"({\rtf1 \u12354?x})"), "あx"); // one fallback character by default
    EXPECT_EQ(text(R"({\rtf1 \u-162?})"), "～");    // U+FF5E as a negative 16-bit value
    EXPECT_EQ(text(R"({\rtf1 \u-32768?})"), "\u8000");
    EXPECT_EQ(text(R"({\rtf1\uc0\u12354 x})"), "あx");
    EXPECT_EQ(text(R"({\rtf1\uc2\u12354\'82\'a0x})"), "あx"); // two \'hh are two characters
    EXPECT_EQ(text(R"({\rtf1\uc2\u12354 ab c})"), "あ c");
    EXPECT_EQ(text(R"({\rtf1\uc2\u12354\par xy})"), "あy"); // a control word counts as one
    // The skip count is scoped by groups, and a group's end stops skipping.
    EXPECT_EQ(text(R"({\rtf1{\uc3 a}\u12354?b})"), "aあb");
    EXPECT_EQ(text(R"({\rtf1{\uc5\u12354}b})"), "あb");
    // Surrogate pairs, and lone halves.
    EXPECT_EQ(text(R"({\rtf1\u-10179?\u-8704?})"), "\U0001F600");
    EXPECT_EQ(text(R"({\rtf1\u-8704?a\u-10179?b\u-10179?})"), "?a?b?");
    EXPECT_EQ(text(R"({\rtf1\u99999999?\u0?\u7?z})"), "?z");
}

TEST(RtfReader, DeepNestingIsBoundedAndDoesNotLeakState) {
    std::string rtf = "{\\rtf1 a";
    rtf += std::string(10000, '{') + "\\b\\*\\uc9 b" + std::string(10000, '}');
    rtf += "c\\u12354?}";
    const RtfDocument d = readRtf(rtf);
    EXPECT_FALSE(d.complete);
    ASSERT_EQ(d.paragraphs.size(), 1u);
    EXPECT_EQ(d.text(), "acあ"); // what lies too deep is read past
    EXPECT_FALSE(d.paragraphs[0].runs.back().bold);
    // At the limit itself nothing is lost.
    help::RtfLimits limits;
    limits.maxDepth = 4;
    EXPECT_EQ(readRtf("{\\rtf1{{{x}}}}", limits).text(), "x");
    EXPECT_EQ(readRtf("{\\rtf1{{{{x}}}}y}", limits).text(), "y");
}

TEST(RtfReader, TruncatedInputKeepsWhatWasRead) {
    const std::string full = "{\\rtf1{\\colortbl;\\red9\\green0\\blue0;}{\\b Title}\\par "
                             "\\cf1 one \\'82\\'a0\\'82\\'a2\\par two}";
    const std::string whole = readRtf(full).text();
    EXPECT_EQ(whole, "Title\none あい\ntwo");
    for (size_t n = 5; n < full.size(); ++n) {
        const RtfDocument d = readRtf(std::string_view(full).substr(0, n));
        EXPECT_FALSE(d.complete) << n;
        // What a prefix shows is the start of the whole, but for a half pair at the cut.
        std::string t = d.text();
        if (!t.empty() && t.back() == '?') {
            t.pop_back();
        }
        EXPECT_EQ(whole.substr(0, t.size()), t) << n;
    }
    EXPECT_EQ(text("{\\rtf1 ab\\'8"), "ab");
    EXPECT_EQ(text("{\\rtf1 ab\\"), "ab");
    EXPECT_EQ(text("{\\rtf1 ab\\bin999999 x"), "ab");
    EXPECT_EQ(text("{\\rtf1 \\'82\\'a0\\'82"), "あ?");
    // A stray closing brace ends the document; what follows is not shown.
    EXPECT_EQ(text("{\\rtf1 a}b}c"), "a");
}

TEST(RtfReader, OutputAndTablesAreBounded) {
    help::RtfLimits limits;
    limits.maxOutput = 1000;
    std::string flood = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i) {
        flood += "\\par";
    }
    RtfDocument d = readRtf(flood + "}", limits);
    EXPECT_FALSE(d.complete);
    EXPECT_LE(d.paragraphs.size(), 1000u / 32);
    d = readRtf("{\\rtf1 " + std::string(5000, 'x') + "}", limits);
    EXPECT_FALSE(d.complete);
    EXPECT_LE(d.text().size(), 1000u);
    EXPECT_GT(d.text().size(), 900u);

    limits = {};
    limits.maxTableEntries = 2;
    d = readRtf("{\\rtf1{\\colortbl;\\red1;\\red2;\\red3;}\\cf1 a\\cf2 b}", limits);
    ASSERT_EQ(d.paragraphs[0].runs.size(), 2u);
    EXPECT_EQ(d.paragraphs[0].runs[0].color, (RtfColor{1, 0, 0}));
    EXPECT_FALSE(d.paragraphs[0].runs[1].color.has_value());
}

TEST(RtfReader, PlainTextIsReadLineByLine) {
    const RtfDocument d = readRtf("line one\r\n\x82\xa0\x81\x60\r\n\r\nlast\n");
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.text(), "line one\nあ～\n\nlast");
    EXPECT_EQ(readRtf("").paragraphs.size(), 0u);
}

namespace {

// Every paragraph within the bound, counted as the reader counts it: text plus a charge per run.
void expectParagraphsWithin(const RtfDocument& d, size_t bound) {
    for (const help::RtfParagraph& p : d.paragraphs) {
        size_t cost = 0;
        for (const help::RtfRun& r : p.runs) {
            cost += r.text.size() + 32;
        }
        EXPECT_LE(cost, bound);
    }
}

} // namespace

TEST(RtfReader, LongParagraphsAreBrokenAfterASpaceWithNothingLost) {
    help::RtfLimits limits;
    limits.maxParagraph = 100;
    std::string words;
    for (int i = 0; i < 200; ++i) {
        words += "word" + std::to_string(i) + " ";
    }
    words += "{\\b bold}";
    const RtfDocument d = readRtf("{\\rtf1\\qc\\li720\\fi-240 " + words + "\\par next}", limits);
    EXPECT_TRUE(d.complete);
    EXPECT_FALSE(d.cut);
    ASSERT_GT(d.paragraphs.size(), 10u);
    expectParagraphsWithin(d, 100);
    std::string joined;
    for (size_t i = 0; i + 1 < d.paragraphs.size(); ++i) {
        const help::RtfParagraph& p = d.paragraphs[i];
        joined += p.text();
        if (i + 2 < d.paragraphs.size()) {
            EXPECT_EQ(p.text().back(), ' ') << i; // never inside a word
        }
        // The parts keep the paragraph's format; only the first has the first-line indent.
        EXPECT_EQ(p.align, RtfAlign::Center);
        EXPECT_EQ(p.leftIndent, 720);
        EXPECT_EQ(p.firstIndent, i == 0 ? -240 : 0) << i;
    }
    EXPECT_EQ(joined, readRtf("{\\rtf1 " + words + "}").text());
    EXPECT_TRUE(d.paragraphs[d.paragraphs.size() - 2].runs.back().bold);
    EXPECT_EQ(d.paragraphs.back().text(), "next");
    EXPECT_EQ(d.paragraphs.back().firstIndent, -240); // a paragraph of its own again
}

TEST(RtfReader, TextWithoutSpacesIsBrokenBetweenCharacters) {
    help::RtfLimits limits;
    limits.maxParagraph = 101;
    std::string kana;
    for (int i = 0; i < 500; ++i) {
        kana += "\\'82\\'a0"; // あ, three bytes in UTF-8
    }
    for (const std::string& input : {"{\\rtf1 " + kana + "}", std::string(1500, 'x')}) {
        const RtfDocument d = readRtf(input, limits);
        ASSERT_GT(d.paragraphs.size(), 10u);
        expectParagraphsWithin(d, 101);
        std::string joined;
        for (const help::RtfParagraph& p : d.paragraphs) {
            joined += p.text();
        }
        EXPECT_EQ(joined.size(), 1500u);
    }
    // あ is three bytes: 101 - 32 leaves room for 23 of them, never for a part of one.
    const RtfDocument d = readRtf("{\\rtf1 " + kana + "}", limits);
    for (size_t i = 0; i < d.paragraphs.size(); ++i) {
        const std::string t = d.paragraphs[i].text();
        EXPECT_EQ(t.size(), i + 1 < d.paragraphs.size() ? 69u : 1500u % 69u) << i;
        std::string whole;
        while (whole.size() < t.size()) {
            whole += "あ";
        }
        EXPECT_EQ(t, whole);
    }
}

TEST(RtfReader, FormatChangesCountTowardsTheParagraphAndLikeRunsMerge) {
    std::string flips = "{\\rtf1 ";
    for (int i = 0; i < 10000; ++i) {
        flips += "{\\b a}{\\i b}";
    }
    RtfDocument d = readRtf(flips + "}");
    EXPECT_FALSE(d.cut);
    ASSERT_GT(d.paragraphs.size(), 30u); // 20 000 runs of one letter: ~500 to a paragraph
    expectParagraphsWithin(d, 16u << 10);
    EXPECT_EQ(d.text().size(), 20000u + d.paragraphs.size() - 1);
    // Runs of one format meet in one run, across groups and escapes.
    d = readRtf("{\\rtf1 {\\b a}{\\b b\\'82\\'a0}\\b c{\\i d}}");
    ASSERT_EQ(runs(d).size(), 2u);
    EXPECT_EQ(runs(d)[0].text, "abあc");
}

TEST(RtfReader, AHugeFileIsCutToTheBoundAndSaysSo) {
    // The reader's own bound, as the help panel uses it.
    std::string big = "{\\rtf1 ";
    while (big.size() < (16u << 20)) {
        big += "{\\b a}{\\i b}";
    }
    RtfDocument d = readRtf(big + "}");
    EXPECT_TRUE(d.cut);
    EXPECT_FALSE(d.complete);
    size_t cost = 0;
    for (const help::RtfParagraph& p : d.paragraphs) {
        cost += 32;
        for (const help::RtfRun& r : p.runs) {
            cost += 32 + r.text.size();
        }
    }
    EXPECT_LE(cost, (1u << 20) + 32 * d.paragraphs.size());
    EXPECT_GT(cost, (1u << 20) - 64);

    d = readRtf(std::string(3u << 20, 'x'));
    EXPECT_TRUE(d.cut);
    size_t text = 0;
    for (const help::RtfParagraph& p : d.paragraphs) {
        text += p.text().size();
    }
    EXPECT_LE(text, 1u << 20);
    EXPECT_GT(text, (1u << 20) - 64);
    expectParagraphsWithin(d, 16u << 10);
    // Broken or truncated input is not a cut.
    EXPECT_FALSE(readRtf("{\\rtf1 ab").cut);
    EXPECT_FALSE(readRtf("{\\rtf1 ab}").cut);
}

TEST(RtfReader, PlainTextReaderTakesEveryFileAsText) {
    help::RtfLimits limits;
    limits.maxParagraph = 96;
    const RtfDocument d =
        readPlainText("{\\rtf1 \\b x}\r\n" + std::string(100, 'y') + "\n\x82\xa0", limits);
    EXPECT_TRUE(d.complete);
    ASSERT_EQ(d.paragraphs.size(), 4u);
    EXPECT_EQ(d.paragraphs[0].text(), "{\\rtf1 \\b x}");
    EXPECT_EQ(d.paragraphs[1].text() + d.paragraphs[2].text(), std::string(100, 'y'));
    EXPECT_EQ(d.paragraphs[3].text(), "あ");
}
