#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../unit/TempDir.h"
#include "core/AppState.h"
#include "help/HelpForm.h"
#include "platform/AppError.h"
#include "platform/TextCodec.h"

namespace {

const QString kInitialFirstLine = QStringLiteral("＜＜履歴ファイルがありません．＞＞");

// Collects the URLs the desktop would have opened.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// StartDir is one scratch folder; the working directory is another, as after a change of
// directory while running.
class HelpPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(elsewhere_.path());
        core::resetAppState();
        core::StartDir() = start_.path();
        platform::setErrorPresenter([this](const std::string& m) { errors_.push_back(m); });
    }
    void TearDown() override {
        panel_.reset();
        platform::setErrorPresenter({});
        std::filesystem::current_path(old_);
    }
    help::THelpPanel& panel() {
        panel_ = std::make_unique<help::THelpPanel>();
        return *panel_;
    }
    static QString text(const help::THelpPanel& p) { return p.Memo1->toPlainText(); }

    TempDir start_, elsewhere_;
    std::filesystem::path old_;
    std::vector<std::string> errors_;
    std::unique_ptr<help::THelpPanel> panel_;
};

const char* const kHelp = "{\\rtf1\\ansicpg932{\\colortbl;\\red224\\green92\\blue116;}"
                          "{\\b\\fs32\\cf1 \\'82\\'d6\\'82\\'e9\\'82\\'d5}\\par "
                          "\\qc plain \\'81\\'60\\'87\\'40\\par}";

} // namespace

TEST_F(HelpPanelTest, ControlsInTheirPlacesWithTheInitialText) {
    help::THelpPanel& p = panel();
    EXPECT_EQ(help::HelpForm, &p);
    EXPECT_FALSE(p.isVisible());
    EXPECT_EQ(p.windowTitle(), QStringLiteral("解説とたわごと"));
    EXPECT_EQ(p.size(), QSize(446, 413));
    // A tool window with a title and no buttons at all: the window manager is told so.
    EXPECT_EQ(p.windowType(), Qt::Tool);
    EXPECT_TRUE(p.windowFlags() & Qt::WindowTitleHint);
    EXPECT_FALSE(p.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                                    Qt::WindowMinMaxButtonsHint));
    EXPECT_EQ(p.Image1->geometry(), QRect(-72, 56, 265, 350));
    EXPECT_TRUE(p.Image1->pixmap().isNull()) << "the portrait waits for the first showing";
    p.show();
    EXPECT_FALSE(p.Image1->pixmap().isNull()) << "the portrait is built in";
    EXPECT_EQ(p.Image1->geometry(), QRect(-72, 56, 265, 350));
    p.hide();
    EXPECT_EQ(p.Memo1->geometry(), QRect(144, 0, 302, 413));
    EXPECT_EQ(p.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(p.Memo1->isReadOnly());
    EXPECT_EQ(p.Button2->geometry(), QRect(4, 384, 65, 25));
    EXPECT_EQ(p.Button1->geometry(), QRect(72, 384, 67, 25));
    EXPECT_EQ(p.Label1->text(), QStringLiteral("なごみ"));
    EXPECT_TRUE(p.Label1->font().underline());
    EXPECT_EQ(p.Label1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(p.Label2->text(), QStringLiteral("CodeName: ぴこぷる"));
    EXPECT_TRUE(p.Label3->text().startsWith(QStringLiteral("（")));
    for (QWidget* w : std::initializer_list<QWidget*>{p.Label1, p.Label2, p.Label3, p.Image1,
                                                      p.Button1, p.Button2, p.Memo1}) {
        EXPECT_FALSE(w->accessibleName().isEmpty() && w->property("text").toString().isEmpty())
            << w->metaObject()->className();
    }
    const QStringList lines = text(p).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), kInitialFirstLine);
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(text(p).endsWith(QStringLiteral("\n\n")));

    // Centred on the desktop the first time only; it stays where the user put it.
    p.show();
    const QRect desk = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((p.geometry().center() - desk.center()).manhattanLength(), 3);
    p.Button1->click();
    EXPECT_FALSE(p.isVisible());
    p.move(10, 20);
    p.show();
    EXPECT_EQ(p.pos(), QPoint(10, 20));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(HelpPanelTest, WithNeitherFileTheButtonOnlyFlipsItsCaption) {
    help::THelpPanel& p = panel();
    const QString initial = text(p);
    p.Button2->click();
    EXPECT_EQ(p.Button2->text(), QStringLiteral("ヘルプ"));
    EXPECT_EQ(text(p), initial);
    p.Button2->click();
    EXPECT_EQ(p.Button2->text(), QStringLiteral("履歴"));
    EXPECT_EQ(text(p), initial);
    EXPECT_TRUE(errors_.empty());
}

TEST_F(HelpPanelTest, WithOnlyTheHelpFileTheHistoryButtonKeepsTheHelp) {
    start_.write("help.rtf", kHelp);
    help::THelpPanel& p = panel();
    EXPECT_EQ(text(p), QStringLiteral("へるぷ\nplain ～①"));
    // Formatted: the heading bold, larger and coloured; the second paragraph centred.
    const QTextBlock heading = p.Memo1->document()->begin();
    const QTextCharFormat f = heading.begin().fragment().charFormat();
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
    EXPECT_EQ(f.fontPointSize(), 16.0);
    EXPECT_EQ(f.foreground().color(), QColor(224, 92, 116));
    EXPECT_EQ(heading.next().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    p.Button2->click();
    EXPECT_EQ(p.Button2->text(), QStringLiteral("ヘルプ"));
    EXPECT_EQ(text(p), QStringLiteral("へるぷ\nplain ～①"));
}

TEST_F(HelpPanelTest, FilesComeFromStartDirNotTheWorkingDirectory) {
    start_.write("help.rtf", kHelp);
    start_.write("Version.txt", platform::toCp932("なごみ 版歴\r\n\r\n0.1.0 ～\r\n"));
    elsewhere_.write("help.rtf", "{\\rtf1 wrong}");
    elsewhere_.write("Version.txt", "wrong\r\n");
    help::THelpPanel& p = panel();
    EXPECT_TRUE(text(p).startsWith(QStringLiteral("へるぷ")));
    p.Memo1->setPlainText(QStringLiteral("edited")); // edits last until the next load
    p.Button2->click();
    EXPECT_EQ(text(p), QStringLiteral("なごみ 版歴\n\n0.1.0 ～"));
    // The history is plain: nothing of the help's formatting carries over.
    const QTextCharFormat f = p.Memo1->document()->begin().begin().fragment().charFormat();
    EXPECT_NE(f.fontWeight(), QFont::Bold);
    EXPECT_NE(f.foreground().color(), QColor(224, 92, 116));
    p.Button2->click();
    EXPECT_EQ(text(p), QStringLiteral("へるぷ\nplain ～①"));
    EXPECT_FALSE(std::filesystem::exists(start_.file("help.rtf.bak")));
    EXPECT_EQ(start_.read("help.rtf"), kHelp) << "the pane is never saved";
}

TEST_F(HelpPanelTest, AHelpFileThatIsAPipeIsAnErrorNotAHang) {
    ASSERT_EQ(::mkfifo(start_.file("help.rtf").c_str(), 0600), 0);
    help::THelpPanel& p = panel();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], platform::msgCannotOpen(start_.file("help.rtf")));
    EXPECT_TRUE(text(p).startsWith(kInitialFirstLine));
}

TEST_F(HelpPanelTest, TheLinkOpensThePageInStartDir) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    help::THelpPanel& p = panel();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(p.Label1, &press);
    QApplication::sendEvent(p.Label1, &release);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0],
              QUrl::fromLocalFile(QString::fromStdString(start_.file("index.html"))));
}

TEST_F(HelpPanelTest, AHugeFileIsShownInBoundedParagraphsEndingWithANotice) {
    std::string words = "{\\rtf1 ";
    while (words.size() < (3u << 20)) {
        words += "lorem ipsum dolor sit amet ";
    }
    start_.write("help.rtf", words + "}");
    start_.write("Version.txt", std::string(3u << 20, 'v'));
    help::THelpPanel& p = panel();
    const QString notice = QString::fromUtf8(help::kCutNotice);
    for (int view = 0; view < 2; ++view) {
        const QTextDocument& doc = *p.Memo1->document();
        EXPECT_LE(text(p).toUtf8().size(), (1 << 20) + 2 * doc.blockCount() + notice.size() * 3);
        EXPECT_GT(text(p).size(), 512 * 1024) << view;
        EXPECT_EQ(doc.lastBlock().text(), notice) << view;
        EXPECT_GT(doc.blockCount(), 60) << view;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            ASSERT_LE(b.text().toUtf8().size(), 16 * 1024) << view;
        }
        p.Button2->click(); // the history, one line as long
    }
    // Files within the bounds have no such notice.
    start_.write("help.rtf", kHelp);
    start_.write("Version.txt", "0.1\r\n");
    p.Button2->click();
    EXPECT_EQ(text(p), QStringLiteral("0.1"));
    p.Button2->click();
    EXPECT_EQ(text(p), QStringLiteral("へるぷ\nplain ～①"));
}

TEST_F(HelpPanelTest, FirstOpenedBesideHerOnHerScreenThenWhereTheUserLeftIt) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect her(area.left() + 40, area.top() + 60, 201, 191);
    help::THelpPanel& p = panel();
    p.showBeside(her);
    EXPECT_TRUE(p.isVisible());
    EXPECT_FALSE(p.frameGeometry().intersects(her));
    EXPECT_TRUE(area.contains(p.frameGeometry()));
    EXPECT_GT(p.x(), her.right()); // the room is on her right
    p.Button1->click();
    p.move(area.left() + 5, area.top() + 7);
    p.showBeside(her.translated(300, 0));
    EXPECT_EQ(p.pos(), QPoint(area.left() + 5, area.top() + 7));

    // At the screen's right edge she has room on her left only.
    help::THelpPanel& q = panel();
    const QRect right(area.right() - 210, area.top() + 60, 201, 191);
    q.showBeside(right);
    EXPECT_FALSE(q.frameGeometry().intersects(right));
    EXPECT_LT(q.frameGeometry().right(), right.left());
}

TEST(HelpPanelPlace, BesideWhereThereIsRoomAndAlwaysOnTheScreen) {
    const QSize panel(460, 440);
    const QRect screen(1280, 0, 1024, 768); // a second screen, right of the first
    using help::besidePosition;
    // Right of her, level with her middle; left when the right is short of room.
    EXPECT_EQ(besidePosition(panel, QRect(1300, 200, 200, 190), screen), QPoint(1508, 74));
    EXPECT_EQ(besidePosition(panel, QRect(1900, 200, 200, 190), screen), QPoint(1432, 74));
    // Near the top, kept on the screen.
    EXPECT_EQ(besidePosition(panel, QRect(1300, 10, 200, 190), screen), QPoint(1508, 0));
    // Neither side has room on a narrow screen: below her, else above her.
    const QRect narrow(0, 0, 700, 1200);
    EXPECT_EQ(besidePosition(panel, QRect(250, 100, 200, 190), narrow), QPoint(119, 298));
    EXPECT_EQ(besidePosition(panel, QRect(250, 700, 200, 190), narrow), QPoint(119, 252));
    // No room anywhere: on the roomier side, on the screen, over her as little as may be.
    const QRect small(0, 0, 700, 500);
    EXPECT_EQ(besidePosition(panel, QRect(100, 150, 200, 190), small), QPoint(240, 24));
    EXPECT_EQ(besidePosition(panel, QRect(400, 150, 200, 190), small), QPoint(0, 24));
}

#include "test_help_panel.moc"
