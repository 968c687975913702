// なごみ: a desktop companion. The program has no command line; it works in its working
// directory, where its settings, log, pictures and sounds live.
#include <QApplication>
#include <QLabel>

#include "balloon/Fukidasi.h"
#include "balloon/LogUnit.h"
#include "balloon/SerifuQueue.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "help/HelpForm.h"
#include "mail/MailCheck.h"
#include "platform/ErrorBox.h"
#include "platform/Fonts.h"
#include "platform/SessionEnd.h"
#include "settings_dialog/Config.h"
#include "timesync/NTPUnit.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nagomi"));
    // The character window ends the program itself; closing an error box or a dialog must not.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installErrorBox();
    platform::installFontSubstitutions();

    balloon::SerifuQueue().clear();
    // From the very start: a signal during creation waits in the event loop for the window.
    platform::installSessionEndHandlers([] {
        // The clock adjustment's endpoint goes first: nothing is sent once the session ends.
        if (timesync::NTPForm) {
            timesync::NTPForm->releaseEndpoint();
        }
        if (core::MainForm) {
            core::MainForm->close();
        }
    });

    // The windows in their order; each creation runs to its end before the next begins.
    auto* mainForm = new core::TMainForm;
    mainForm->show();
    auto* serifuForm = new balloon::TSerifuForm(mainForm);
    auto* cfForm = new settings_dialog::TCFForm(
        settings_dialog::ConfigHost{mainForm->ClockLabel, [mainForm] { return mainForm->size(); },
                                    mainForm->N8, [mainForm] { mainForm->StoreIniFile(); }});
    auto* popForm = new mail::TPOPForm;
    auto* helpForm = new help::THelpPanel;
    auto* calForm = new calendar::TCalForm;
    auto* ntpForm = new timesync::TNTPForm;
    auto* logForm = new balloon::TLogForm;

    const int rc = mainForm->isClosed() ? 0 : QApplication::exec();
    delete logForm;
    delete ntpForm;
    delete calForm;
    delete helpForm;
    delete popForm;
    delete cfForm;
    delete serifuForm;
    delete mainForm;
    return rc;
}
