// The program's windows as the program creates them, in the working directory, plus a way to
// make the character speak for tests: every line read on stdin is appended to SerifuQueue.
// A line "!hide" sets IsHidden, "!show" clears it, "!log" runs the log window's refresh.
#include <QApplication>
#include <QSocketNotifier>
#include <string>
#include <unistd.h>

#include "balloon/Fukidasi.h"
#include "balloon/LogUnit.h"
#include "balloon/SerifuQueue.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "platform/Fonts.h"
#include "platform/SessionEnd.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installFontSubstitutions();
    platform::installSessionEndHandlers([] {
        if (core::MainForm) {
            core::MainForm->close();
        }
    });
    auto* mainForm = new core::TMainForm;
    mainForm->show();
    auto* serifuForm = new balloon::TSerifuForm(mainForm);
    auto* logForm = new balloon::TLogForm;

    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (line == "!hide") {
                core::IsHidden() = true;
            } else if (line == "!show") {
                core::IsHidden() = false;
            } else if (line == "!log") {
                logForm->UpdateLog();
            } else {
                balloon::SerifuQueue().add(line);
            }
        }
    });
    const int rc = mainForm->isClosed() ? 0 : QApplication::exec();
    delete logForm;
    delete serifuForm;
    delete mainForm;
    return rc;
}
