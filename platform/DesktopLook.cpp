#include "platform/DesktopLook.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

namespace platform {

void installAppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
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
