#include "balloon/LogUnit.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "balloon/LogStream.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"

namespace balloon {

TLogForm* LogForm = nullptr;

TLogForm::TLogForm() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
    LogForm = this;
    setWindowTitle(QStringLiteral("最近のログ (50行)"));
    setGeometry(321, 547, 512, 209);
    LogMemo = new QPlainTextEdit(this);
    LogMemo->setReadOnly(true);
    LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(LogMemo);
    platform::guard([this] { FormCreate(); });
}

TLogForm::~TLogForm() {
    closeReadHandle();
    if (LogForm == this) {
        LogForm = nullptr;
    }
}

void TLogForm::FormCreate() {
    const std::string path = platform::joinPath(core::StartDir(), core::kLogFileName);
    if (core::settings().isLog && platform::fileExists(path)) {
        fd_ = platform::openRegularFile(path, O_RDONLY);
        if (fd_ < 0) {
            throw platform::AppError(platform::msgCannotOpen(path));
        }
    }
}

void TLogForm::closeReadHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void TLogForm::UpdateLog() {
    if (fd_ < 0) {
        return;
    }
    LogMemo->clear();
    // Only the end of the log: a log of one giant line must not hold the window.
    bool fromStart = false;
    const std::string tail = platform::readTail(fd_, kLogTailBytes, fromStart);
    QStringList shown;
    for (const std::string& line :
         tailLines(tail, fromStart, kLogWindowLines, kLogShownLineBytes)) {
        shown << QString::fromStdString(platform::fromCp932(line));
    }
    LogMemo->setPlainText(shown.join(QLatin1Char('\n')));
    if (!isVisible()) {
        show();
    }
    // The newest line in view.
    QTextCursor cursor = LogMemo->textCursor();
    cursor.movePosition(QTextCursor::End);
    LogMemo->setTextCursor(cursor);
    LogMemo->ensureCursorVisible();
}

} // namespace balloon
