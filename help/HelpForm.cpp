#include "help/HelpForm.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QUrl>

#include "core/AppState.h"
#include "help/RtfReader.h"
#include "help/RtfToQt.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/X11Window.h"

// Outside any namespace, as Qt's resource initialiser must be.
static void initHelpResources() {
    Q_INIT_RESOURCE(help);
}

namespace help {

THelpPanel* HelpForm = nullptr;

const char* const kCutNotice = "（長すぎるため、ここから先は省略しました）";

QPoint besidePosition(const QSize& frame, const QRect& avoid, const QRect& area, int gap) {
    const auto keptIn = [&](QPoint p) {
        p.setX(std::max(area.left(), std::min(p.x(), area.right() + 1 - frame.width())));
        p.setY(std::max(area.top(), std::min(p.y(), area.bottom() + 1 - frame.height())));
        return p;
    };
    const int middleY = avoid.center().y() - frame.height() / 2;
    const int middleX = avoid.center().x() - frame.width() / 2;
    const QPoint right(avoid.right() + 1 + gap, middleY);
    const QPoint left(avoid.left() - gap - frame.width(), middleY);
    for (const QPoint p : {right, left, QPoint(middleX, avoid.bottom() + 1 + gap),
                           QPoint(middleX, avoid.top() - gap - frame.height())}) {
        const QPoint kept = keptIn(p);
        if (area.contains(QRect(kept, frame)) && !QRect(kept, frame).intersects(avoid)) {
            return kept;
        }
    }
    return keptIn(area.right() - avoid.right() >= avoid.left() - area.left() ? right : left);
}

namespace {

constexpr const char* kHelpFile = "help.rtf";
constexpr const char* kHistoryFile = "Version.txt";
constexpr const char* kPageFile = "index.html";
// Help and history are small text files; anything far larger is not one of ours.
constexpr std::size_t kMaxFileBytes = 16u << 20;

constexpr int kFrameAllowance = 6;
constexpr int kTitleAllowance = 40;

const QString kHistoryCaption = QStringLiteral("履歴");
const QString kHelpCaption = QStringLiteral("ヘルプ");

// Shown until a file replaces it: the greeting of a panel whose files are missing.
const char* const kInitialText =
    "＜＜履歴ファイルがありません．＞＞\n"
    "\n"
    "今は昔、ビットとりの翁といふものありけり。野山のディスクにまじりて"
    "ピクセルを取りつつ、よろづの絵に使ひけり。その中に、もと光るアイコン"
    "なむ一つありける。開きて見れば、三寸ばかりなる娘、いとうつくしうて"
    "ゐたり。名をぴこぷるとぞ言ひける。\n"
    "\n"
    "春はあけぼの。やうやう白くなりゆく画面のすみに、ちひさき娘の"
    "ちよこなんと立ちたる、いとをかし。時計など胸にかかりたるも、"
    "またをかし。\n"
    "\n"
    "ゆく時計の針は絶えずして、しかももとの時刻にあらず。よどみに"
    "浮かぶ吹き出しは、かつ消えかつ結びて、久しくとどまりたる"
    "ためしなし。\n"
    "\n"
    "つれづれなるままに、日ぐらしデスクトップに向かひて、心にうつり"
    "ゆくよしなし事を、そこはかとなく話しかくれば、あやしうこそ"
    "なごみけれ。\n"
    "\n"
    "　ひとつ鳴り　ふたつ鳴りても　知らぬ顔\n"
    "　とけいの針に　せかされもせず\n"
    "　あなたのそばに　ちよこなんと\n"
    "　けふもなごみて　笑ひけるかな\n"
    "\n";

std::string fileIn(const char* name) {
    return platform::joinPath(core::StartDir(), name);
}

std::string readWhole(const std::string& path) {
    // A pipe or a device under the file's name is refused by the reader like an unreadable file.
    auto bytes = platform::readFile(path, kMaxFileBytes);
    if (!bytes) {
        throw platform::AppError(platform::msgCannotOpen(path));
    }
    return std::move(*bytes);
}

} // namespace

THelpPanel::THelpPanel(QWidget* parent)
    // A tool window with a title and no buttons: "とじる" hides the panel, and the window manager
    // is asked for no minimise, maximise or close box.
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    HelpForm = this;
    initHelpResources();
    setWindowTitle(QStringLiteral("解説とたわごと"));
    // openbox keeps a close box on every window with a title; there, at least no more than it.
    platform::keepCloseBoxOnly(this);
    setModal(false);
    setFixedSize(446, 413);
    QFont f = platform::fontFor("ＭＳ Ｐゴシック", 9);
    f.setPixelSize(12);
    setFont(f);

    // The portrait first: the pane and the buttons lie over it.
    // Its picture comes at the first showing: decoding it wakes the image format plugins, and
    // most runs never open the panel.
    Image1 = new QLabel(this);
    Image1->setGeometry(-72, 56, 265, 350);
    Image1->setAccessibleName(QStringLiteral("ぴこぷる"));

    Label1 = new QLabel(QString::fromUtf8(core::kAppTitle), this);
    Label1->setGeometry(16, 8, 109, 12);
    QFont link = f;
    link.setUnderline(true);
    Label1->setFont(link);
    QPalette pal = Label1->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label1->setPalette(pal);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setAccessibleName(QString::fromUtf8(core::kAppTitle));
    Label1->installEventFilter(this);

    Label2 = new QLabel(QStringLiteral("CodeName: ぴこぷる"), this);
    Label2->setGeometry(16, 24, 106, 12);
    Label3 = new QLabel(QStringLiteral("（ふつう版）"), this);
    Label3->setGeometry(72, 40, 65, 12);
    // Sized to their text, as the desktop's faces are a little wider than the ones they stand for.
    for (QLabel* l : {Label1, Label2, Label3}) {
        l->resize(std::max(l->width(), l->sizeHint().width()), l->height());
    }

    Button2 = new QPushButton(kHistoryCaption, this);
    Button2->setGeometry(4, 384, 65, 25);
    Button1 = new QPushButton(QStringLiteral("とじる"), this);
    Button1->setGeometry(72, 384, 67, 25);
    connect(Button1, &QPushButton::clicked, this,
            [this] { platform::guard([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this,
            [this] { platform::guard([this] { Button2Click(); }); });

    Memo1 = new QTextEdit(this);
    Memo1->setGeometry(144, 0, 302, 413);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setAcceptRichText(true);
    Memo1->setAccessibleName(QStringLiteral("解説"));
    Memo1->setPlainText(QString::fromUtf8(kInitialText));

    platform::guard([this] { FormCreate(); });
}

THelpPanel::~THelpPanel() {
    if (HelpForm == this) {
        HelpForm = nullptr;
    }
}

void THelpPanel::FormCreate() {
    loadHelp();
}

void THelpPanel::loadHelp() {
    const std::string path = fileIn(kHelpFile);
    if (!platform::fileExists(path)) {
        return;
    }
    const RtfDocument doc = readRtf(readWhole(path));
    fillDocument(*Memo1->document(), doc);
    if (doc.cut) {
        QTextCursor end(Memo1->document());
        end.movePosition(QTextCursor::End);
        end.insertBlock(QTextBlockFormat(), QTextCharFormat());
        end.insertText(QString::fromUtf8(kCutNotice));
    }
    Memo1->moveCursor(QTextCursor::Start);
}

void THelpPanel::loadHistory() {
    const std::string path = fileIn(kHistoryFile);
    if (!platform::fileExists(path)) {
        return;
    }
    // Plain text, line by line, without the formatting the help text left behind; bounded as the
    // help is, as the pane lays out long lines just as slowly.
    const RtfDocument doc = readPlainText(readWhole(path));
    QStringList lines;
    for (const RtfParagraph& line : doc.paragraphs) {
        lines << QString::fromStdString(line.text());
    }
    if (doc.cut) {
        lines << QString::fromUtf8(kCutNotice);
    }
    Memo1->clear();
    Memo1->setCurrentCharFormat(QTextCharFormat());
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    Memo1->moveCursor(QTextCursor::Start);
}

void THelpPanel::Button2Click() {
    if (Button2->text() == kHistoryCaption) {
        Button2->setText(kHelpCaption);
        loadHistory();
    } else {
        Button2->setText(kHistoryCaption);
        loadHelp();
    }
}

void THelpPanel::Label1Click() {
    // The desktop's opener shows the page; whether it could is not ours to report.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(fileIn(kPageFile))));
}

void THelpPanel::showBeside(const QRect& character) {
    if (!placed_) {
        placed_ = true;
        const QScreen* screen = QGuiApplication::screenAt(character.center());
        if (!screen) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen) {
            // Before its first showing the window manager's frame is not known yet: allow for a
            // title bar and borders.
            QSize outer = frameGeometry().size();
            if (outer == size()) {
                outer += QSize(2 * kFrameAllowance, kTitleAllowance + kFrameAllowance);
            }
            move(besidePosition(outer, character, screen->availableGeometry()));
        }
    }
    show();
    raise();
}

void THelpPanel::showEvent(QShowEvent* event) {
    if (Image1->pixmap().isNull()) {
        const QPixmap portrait(QStringLiteral(":/help/helpprsn.bmp"));
        Image1->setPixmap(portrait);
        if (!portrait.isNull()) {
            Image1->resize(portrait.size());
        }
    }
    if (!placed_) {
        placed_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect desk = screen->geometry();
            move(desk.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QDialog::showEvent(event);
}

bool THelpPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        platform::guard([this] { Label1Click(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace help
