// なごみ: a desktop companion. The program has no command line; it works in its working
// directory, where its settings, log, pictures and sounds live.
#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <vector>

#include "balloon/Fukidasi.h"
#include "balloon/LogUnit.h"
#include "balloon/SerifuQueue.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "help/HelpForm.h"
#include "mail/CheckRunner.h"
#include "mail/MailCheck.h"
#include "platform/AppError.h"
#include "platform/DesktopLook.h"
#include "platform/ErrorBox.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/SessionEnd.h"
#include "platform/SessionPlatform.h"
#include "platform/SingleInstance.h"
#include "settings_dialog/Config.h"
#include "timesync/NTPUnit.h"

int main(int argc, char** argv) {
    // Repaints go over the X connection rather than shared memory: each shared-memory repaint
    // of the clock (twice a second) wakes the program again for the server's completion event.
    qputenv("QT_XCB_NO_MITSHM", "1");
    // On a Wayland session she runs through Xwayland. Told to Qt as its own argument rather
    // than through the environment, so that programs she opens keep the session's platform.
    std::vector<char*> args(argv, argv + argc);
    static char platformOption[] = "-platform";
    static char x11[] = "xcb";
    switch (platform::choosePlatform(platform::currentSession())) {
    case platform::PlatformChoice::X11:
        args.insert(args.begin() + (args.empty() ? 0 : 1), {platformOption, x11});
        break;
    case platform::PlatformChoice::WaylandWithoutX:
        std::fprintf(stderr, "なごみ: this Wayland session has no Xwayland; she needs it to keep "
                             "her outline, her place and her stay on top\n");
        break;
    case platform::PlatformChoice::AsIs:
        break;
    }
    int qtArgc = static_cast<int>(args.size());
    args.push_back(nullptr);
    QApplication app(qtArgc, args.data());
    QApplication::setApplicationName(QStringLiteral("nagomi"));
    // The character window ends the program itself; closing an error box or a dialog must not.
    QApplication::setQuitOnLastWindowClosed(false);

    // One of her per folder: two would fight over the settings file and the log. A second
    // start brings the running one back, as the tray icon's double-click does.
    platform::SingleInstance instance(platform::currentDirectory());
    if (!instance.isPrimary()) {
        if (!instance.askToRestore()) {
            std::fprintf(stderr, "なごみ: she is already running here but does not answer\n");
            return 1;
        }
        return 0;
    }
    instance.listen([] {
        platform::guard([] {
            if (core::MainForm && !core::MainForm->isClosed()) {
                core::MainForm->TaskTrayDblClick();
                core::MainForm->FormDeactivate(); // on top again
            }
        });
    });

    platform::installErrorBox();
    platform::installFontSubstitutions();
    platform::installAppIcon();
    platform::installQtTranslations();

    balloon::SerifuQueue().clear();
    // From the very start: a signal during creation waits in the event loop for the window.
    platform::installSessionEndHandlers([] {
        // A mail check running is called off, and the clock adjustment's endpoint goes first:
        // nothing is sent once the session ends.
        mail::stopAllChecks();
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
        return new settings_dialog::TCFForm(
            settings_dialog::ConfigHost{mainForm->ClockLabel,
                                        [mainForm] { return mainForm->size(); },
                                        mainForm->N8,
                                        [mainForm] { mainForm->StoreIniFile(); },
                                        [mainForm] { return mainForm->scale(); },
                                        [mainForm](int percent) { mainForm->applyScale(percent); },
                                        {}});
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
