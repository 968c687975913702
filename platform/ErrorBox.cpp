#include "platform/ErrorBox.h"

#include <QMessageBox>
#include <cstdio>

#include "platform/AppError.h"

namespace platform {

void installErrorBox() {
    setErrorPresenter([](const std::string& message) {
        std::fprintf(stderr, "error box: %s\n", message.c_str());
        QMessageBox box(QMessageBox::Critical, QStringLiteral("なごみ"),
                        QString::fromStdString(message), QMessageBox::Ok);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
    });
}

} // namespace platform
