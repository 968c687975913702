// The settings dialog's mail page: when to check, the account, the server and how to reach it,
// and the sound of new mail.
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <algorithm>

#include "core/Settings.h"
#include "settings_dialog/Config.h"
#include "settings_dialog/Controls.h"

namespace settings_dialog {

using namespace controls;

namespace {

// A row of radio buttons in a group, named by its label.
QWidget* radioRow(QWidget* page, const char* name, QLabel* label, int x, int y, int width,
                  QButtonGroup* group,
                  std::initializer_list<std::pair<QRadioButton**, const char*>> buttons) {
    QWidget* row = named(new QWidget(page), name);
    row->setGeometry(x, y, width, 24);
    row->setAccessibleName(label->text());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 0, 4, 0);
    int id = 0;
    for (const auto& [button, caption] : buttons) {
        *button = new QRadioButton(QString::fromUtf8(caption), row);
        layout->addWidget(*button, 1);
        group->addButton(*button, id++);
    }
    label->setBuddy(row);
    return row;
}

} // namespace

void TCFForm::createMailPage() {
    QWidget* p = TabSheet3 = named(new QWidget, "TabSheet3");
    PageControl1->addTab(p, QStringLiteral("め～る"));
    MailCheckBox = check(p, "MailCheckBox", "メールチェックする", 16, 14, 121);
    MailIntervalEdit = edit(p, "MailIntervalEdit", 208, 11, 57, nullptr);
    Label5 = label(p, "Label5", "分おき", 269, 17);
    Label5->setBuddy(MailIntervalEdit);
    Label6 = label(p, "Label6", "POPアカウント", 7, 50);
    Label7 = label(p, "Label7", "POPパスワード", 7, 74);
    // The fields start after the longer of the two labels and keep their right edge.
    const int accountLeft =
        std::max({88, Label6->geometry().right() + 4, Label7->geometry().right() + 4});
    POPAccountEdit = edit(p, "POPAccountEdit", accountLeft, 46, 321 - accountLeft, Label6);
    POPPasswordEdit = edit(p, "POPPasswordEdit", accountLeft, 70, 321 - accountLeft, Label7);
    POPPasswordEdit->setStyle(starMaskStyle(this)); // the pages, and the field, go before it
    POPPasswordEdit->setEchoMode(QLineEdit::Password);

    // The server and how to reach it: the protocol, the encryption and the port.
    Panel1 = panel(p, "Panel1", QFrame::Raised, 8, 110, 321, 105);
    Label8 = label(p, "Label8", "POPサーバ", 16, 123);
    POPServerEdit = edit(p, "POPServerEdit", 80, 118, 241, Label8);
    Label9 = label(p, "Label9", "プロトコル", 20, 145);
    ProtocolGroup = new QButtonGroup(this);
    ProtocolRadio =
        radioRow(p, "ProtocolRadio", Label9, 80, 141, 241, ProtocolGroup,
                 {{&ProtocolPOP, "POP"}, {&ProtocolAPOP, "APOP"}, {&ProtocolIMAP, "IMAP"}});
    ProtocolPOP->setObjectName(QStringLiteral("ProtocolPOP"));
    ProtocolAPOP->setObjectName(QStringLiteral("ProtocolAPOP"));
    ProtocolIMAP->setObjectName(QStringLiteral("ProtocolIMAP"));
    SecurityLabel = label(p, "SecurityLabel", "暗号化", 20, 169);
    SecurityGroup = new QButtonGroup(this);
    SecurityRadio = radioRow(
        p, "SecurityRadio", SecurityLabel, 80, 165, 241, SecurityGroup,
        {{&SecurityNone, "なし"}, {&SecurityStartTls, "STARTTLS"}, {&SecurityTls, "SSL/TLS"}});
    PortLabel = label(p, "PortLabel", "ポート", 20, 193);
    PortEdit = edit(p, "PortEdit", 80, 189, 57, PortLabel);
    PortNote = label(p, "PortNote", "（0 で標準）", 141, 193);

    MailNotifyCheck = check(p, "MailNotifyCheck", "音を出す", 16, 228, 73);
    MailNotifyEdit = edit(p, "MailNotifyEdit", 56, 246, 225, nullptr);
    MailNotifyEdit->setAccessibleName(QStringLiteral("メール着信音のファイル"));
    MailNotifyButton = button(p, "MailNotifyButton", "参照", 282, 246, 40);
    NotifyTestButton = button(p, "NotifyTestButton", "テスト再生", 262, 270, 60);
}

void TCFForm::fillMailPage(const core::Settings& s) {
    MailCheckBox->setChecked(s.MailCheck);
    MailIntervalEdit->setText(QString::number(s.MailInterval));
    POPAccountEdit->setText(QString::fromStdString(s.POPAccount));
    POPPasswordEdit->setText(QString::fromStdString(s.POPPassword));
    POPServerEdit->setText(QString::fromStdString(s.POPServer));
    // IMAP, or POP with or without APOP; an IsAPOP that is neither 0 nor 1 checks no button
    // (and Apply then keeps it).
    ProtocolGroup->setExclusive(false);
    ProtocolIMAP->setChecked(s.MailProtocol == 1);
    ProtocolPOP->setChecked(s.MailProtocol != 1 && s.IsAPOP == 0);
    ProtocolAPOP->setChecked(s.MailProtocol != 1 && s.IsAPOP == 1);
    ProtocolGroup->setExclusive(true);
    SecurityGroup->setExclusive(false);
    SecurityNone->setChecked(s.POPSecurity == 0);
    SecurityStartTls->setChecked(s.POPSecurity == 1);
    SecurityTls->setChecked(s.POPSecurity == 2);
    SecurityGroup->setExclusive(true);
    PortEdit->setText(QString::number(s.POPPort));
    MailNotifyCheck->setChecked(s.MailNotify);
    MailNotifyEdit->setText(QString::fromStdString(s.MailNotifyFile));
    NotifyTestButton->setEnabled(false);
    MailCheckBoxClick();
}

void TCFForm::MailCheckBoxClick() {
    const bool on = MailCheckBox->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(MailIntervalEdit), static_cast<QWidget*>(POPAccountEdit),
          static_cast<QWidget*>(POPPasswordEdit), static_cast<QWidget*>(POPServerEdit),
          ProtocolRadio, SecurityRadio, static_cast<QWidget*>(PortEdit),
          static_cast<QWidget*>(MailNotifyCheck)}) {
        w->setEnabled(on);
    }
    MailNotifyEdit->setEnabled(on && MailNotifyCheck->isChecked());
    MailNotifyButton->setEnabled(on && MailNotifyCheck->isChecked());
}

} // namespace settings_dialog
