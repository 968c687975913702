// なごみ: a desktop companion. The program has no command line; it works in its working
// directory, where its settings, log, pictures and sounds live.
#include <QApplication>

#include "balloon/SerifuQueue.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "platform/ErrorBox.h"
#include "platform/Fonts.h"
#include "platform/SessionEnd.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nagomi"));
    // The character window ends the program itself; closing an error box or a dialog must not.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installErrorBox();
    platform::installFontSubstitutions();

    balloon::SerifuQueue().clear();

    auto* mainForm = new core::TMainForm;
    platform::installSessionEndHandlers([mainForm] { mainForm->close(); });
    mainForm->show();

    const int rc = QApplication::exec();
    delete mainForm;
    return rc;
}
