#include "help/RtfToQt.h"

#include <QTextCursor>
#include <QTextDocument>

namespace help {

namespace {

// Twips to pixels at the desktop's 96 dots per inch.
qreal pixels(int twips) {
    return twips / 15.0;
}

Qt::Alignment alignment(RtfAlign a) {
    switch (a) {
    case RtfAlign::Center:
        return Qt::AlignHCenter;
    case RtfAlign::Right:
        return Qt::AlignRight;
    case RtfAlign::Justify:
        return Qt::AlignJustify;
    case RtfAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

} // namespace

void fillDocument(QTextDocument& document, const RtfDocument& rtf) {
    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    bool first = true;
    for (const RtfParagraph& p : rtf.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(alignment(p.align));
        block.setLeftMargin(pixels(p.leftIndent));
        block.setRightMargin(pixels(p.rightIndent));
        block.setTextIndent(pixels(p.firstIndent));
        if (first) {
            cursor.setBlockFormat(block);
            first = false;
        } else {
            cursor.insertBlock(block);
        }
        for (const RtfRun& r : p.runs) {
            QTextCharFormat f;
            f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
            f.setFontItalic(r.italic);
            f.setFontUnderline(r.underline);
            f.setFontStrikeOut(r.strike);
            f.setFontPointSize(r.halfPoints / 2.0);
            if (r.color) {
                f.setForeground(QColor(r.color->r, r.color->g, r.color->b));
            }
            if (!r.font.empty()) {
                f.setFontFamilies({QString::fromStdString(r.font)});
            }
            cursor.insertText(QString::fromStdString(r.text), f);
        }
    }
    cursor.endEditBlock();
}

} // namespace help
