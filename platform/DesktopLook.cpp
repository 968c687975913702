#include "platform/DesktopLook.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

namespace platform {

void installAppIcon() {
    // Up to 128 pixels: every window sends all the sizes to the X server at its creation, and
    // the 256 alone would be three quarters of those bytes (the installed icons keep it).
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/nagomi-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
}

void installQtTranslations() {
    // Her text is Japanese whatever the locale, so Qt's is too.
    auto* translator = new QTranslator(qApp);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_ja"), dir)) {
        QApplication::installTranslator(translator);
    } else {
        std::fprintf(stderr, "なごみ: Qt's Japanese translations are missing in %s\n",
                     dir.toLocal8Bit().constData());
        delete translator;
    }
}

} // namespace platform
