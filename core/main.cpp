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
    // Repaints go over the X connection rather than shared memory: each shared-memory repaint
    // of the clock (twice a second) wakes the program again for the server's completion event.
    qputenv("QT_XCB_NO_MITSHM", "1");
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
            core::MainForm->endSession();
        }
    });

    // The windows in their order; each creation runs to its end before the next begins.
    // A close served during creation (an error box or the mask's making runs the event loop)
    // ends the program: nothing more is created, checked or sent.
    auto* mainForm = new core::TMainForm;
    const auto next = [mainForm](auto create) { return mainForm->isClosed() ? nullptr : create(); };
    if (!mainForm->isClosed()) {
        mainForm->show();
    }
    auto* serifuForm = next([&] { return new balloon::TSerifuForm(mainForm); });
    auto* cfForm = next([&] {
        return new settings_dialog::TCFForm(settings_dialog::ConfigHost{
            mainForm->ClockLabel, [mainForm] { return mainForm->size(); }, mainForm->N8,
            [mainForm] { mainForm->StoreIniFile(); }});
    });
    auto* popForm = next([] { return new mail::TPOPForm; });
    auto* helpForm = next([] { return new help::THelpPanel; });
    auto* calForm = next([] { return new calendar::TCalForm; });
    auto* ntpForm = next([] { return new timesync::TNTPForm; });
    auto* logForm = next([] { return new balloon::TLogForm; });

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
