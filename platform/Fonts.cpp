#include "platform/Fonts.h"

#include <QApplication>
#include <QPalette>

namespace platform {

void installFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

QColor colorFromValue(int value) {
    const auto v = static_cast<unsigned>(value);
    if (v & 0x80000000u) {
        // System colours: the indices the stored files use, on this desktop's palette.
        const QPalette pal = QApplication::palette();
        switch (v & 0xFF) {
        case 5: // window
            return pal.color(QPalette::Base);
        case 8: // window text
            return pal.color(QPalette::Text);
        case 13: // highlight
            return pal.color(QPalette::Highlight);
        case 14: // highlight text
            return pal.color(QPalette::HighlightedText);
        case 15: // button face
            return pal.color(QPalette::Button);
        case 18: // button text
            return pal.color(QPalette::ButtonText);
        default:
            return pal.color(QPalette::Window);
        }
    }
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

int valueFromColor(const QColor& c) {
    return static_cast<int>(static_cast<unsigned>(c.red()) | static_cast<unsigned>(c.green()) << 8 |
                            static_cast<unsigned>(c.blue()) << 16);
}

QFont fontFor(const std::string& face, int points) {
    QFont f(QString::fromStdString(face));
    if (points > 0 && points < 1000) {
        f.setPointSize(points);
    }
    return f;
}

} // namespace platform
