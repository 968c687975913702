// Help (RTF), version history and the product page. The help and the history are kept in CP932
// because that is what the program's Japanese text files are read as.
#include "gen.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace gen {
namespace {

std::string toCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv has no CP932");
    }
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* op = out.data();
    size_t outLeft = out.size();
    size_t r = iconv(cd, &in, &inLeft, &op, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) {
        // Every character must survive; a lossy help file is worse than a failed build.
        throw std::runtime_error("text has a character CP932 cannot hold, near: " +
                                 std::string(in, std::min<size_t>(inLeft, 24)));
    }
    out.resize(out.size() - outLeft);
    return out;
}

bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Writes CP932 text as RTF. Both bytes of a double-byte character are escaped, since a trail
// byte may be 0x5C or a brace and must not be read as RTF syntax.
std::string rtfEscape(std::string_view utf8) {
    std::string sjis = toCp932(utf8);
    std::string out;
    char hex[8];
    for (size_t i = 0; i < sjis.size(); ++i) {
        auto b = static_cast<unsigned char>(sjis[i]);
        if (b >= 0x80) {
            std::snprintf(hex, sizeof hex, "\\'%02x", b);
            out += hex;
            if (isLeadByte(b) && i + 1 < sjis.size()) {
                std::snprintf(hex, sizeof hex, "\\'%02x", static_cast<unsigned char>(sjis[++i]));
                out += hex;
            }
        } else if (b == '\\' || b == '{' || b == '}') {
            out += '\\';
            out += static_cast<char>(b);
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

// "= " starts the title, "# " a heading, "## " a small heading, "・" an item of a list; every
// other line is a paragraph line.
constexpr std::string_view kHelp = R"(= なごみ へるぷ
なごみは、あなたのデスクトップに住んでいる小さな相棒です。
画面のすみでのんびり過ごしながら、時刻を知らせたり、ひとことおしゃべりしたりします。

# なごみとあそぶ
・なごみを左ボタンで短くクリックすると、今日の日付と時刻を教えてくれます。
・左ボタンでつかんだままマウスを動かすと、好きな場所へ連れていけます。離したところが新しい居場所です。
・右クリックするとメニューが開きます。タスクトレイのアイコンを右クリックしても同じメニューが出ます。

# メニュー
・「うるさい！」 …… 鳴っているアラームや音を止めます。
・「確認する。」→「メール確認...」 …… メールの受信状況の小窓を出します。
・「確認する。」→「ログ確認...」 …… おしゃべりの記録の最後の50行を表示します。
・「設定する。」 …… 設定ダイアログを開きます。
・「へるぷ...」 …… このへるぷを表示します。「履歴」ボタンで版歴に、「ヘルプ」ボタンでここに戻ります。
・「ないない」 …… なごみも吹き出しもカレンダーも隠します。タスクトレイのアイコンをダブルクリックすると戻ってきます。
・「おしまい。」 …… 設定を保存して、なごみを終了します。

# 時計
なごみの胸もとには時計が出ています。
・時計を左ボタンでドラッグすると、位置を動かせます。動かした位置はすぐに保存されます。
・時計を右クリックすると「フォント変更...」と「背景色変更...」が選べます。

# 時報とアラーム
毎時ちょうどに、なごみがチャイムとともに時刻をお知らせします。
アラームは3つまで使えます。アラーム1は設定ダイアログで、アラーム2と3は pikmain.ini の IsAlerm2Enabled、Alerm2Time、Alerm2Voice などを書きかえて設定します。
鳴っているアラームは、メニューの「うるさい！」で止められます。

# カレンダー
日本の祝日つきの月めくりカレンダーです。カレンダーを右クリックすると、
・「<< 先月」「- 今月 -」「来月 >>」で表示する月を切りかえます。
・「サイズ...」で小さい・ふつう・大きいの3つの大きさから選べます。
・「とじる」でカレンダーを隠します。

# 設定ダイアログ
メニューの「設定する。」で開きます。「おっけ～」で保存してすぐに反映、「や～めた」で何も変えずに閉じます。
## 「きほん」のページ
・見た目 …… なごみの絵のファイル (BMP) です。左上の点の色が透明になります。
・カレンダーを表示する、その大きさ。時計を表示する、その位置 (「中央」で真ん中へ)。
・時報をのたまう …… 毎時の時報と、そのときの声のファイル。
・アラームを鳴らす …… アラーム1の時刻と音。
・台詞ログを保存する …… おしゃべりを piklog.txt に記録します。
## 「クリック」のページ
・いまは何もありません。
## 「め～る」のページ
・メールチェックする …… 何分おきに確認するか。
・POPサーバ、POPアカウント、POPパスワード、プロトコル (POP または APOP)。
・音を出す …… 新しいメールが届いたときの音。
## 「時刻調整」のページ
・SNTPによる時刻調整を行う …… ホスト名と調整インターバル(分)。
・小さなずれは調整しないように、しきい値をミリ秒で決められます。

# メール確認
POP3 または APOP で、メールサーバーに新しいメールが届いているかを確認します。
新しいメールが届いていると、なごみが教えてくれます。うまくつながらないときも、なごみがそう言います。

# 時刻合わせ
SNTP サーバーに問い合わせて、コンピューターの時計のずれを合わせます。
時計を合わせるには、その権限が必要です。権限がないときは、何も変わりません。

# なごみのファイル
なごみは、起動したフォルダーで暮らしています。ふつうは ~/.local/share/nagomi です。
・pikmain.ini …… 設定です。終了したときなどに書き出されます。
・piklog.txt …… おしゃべりの記録です。最後の1024行だけが残ります。
・pikprsn.bmp、fukidasi.bmp、back.bmp …… なごみ、吹き出し、カレンダーの絵です。
・*.msk …… 絵から作った形のファイルです。消しても次の起動で作りなおします。
・*.wav …… 時報、アラーム、メールの音です。
・help.rtf、Version.txt …… このへるぷと版歴です。

これからも、なごみをよろしくお願いします。
)";

} // namespace

std::string helpRtf() {
    // The face is named the way the system's own files name it; the program maps it to an IPA
    // face. Colour 1 is for the title, colour 2 for the headings.
    std::string out = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 " +
                      rtfEscape("ＭＳ Ｐゴシック") +
                      ";}}\r\n{\\colortbl;\\red224\\green92\\blue116;\\red52\\green108\\blue184;}"
                      "\r\n\\pard\\plain\\f0\\fs20\r\n";
    std::istringstream lines{std::string(kHelp)};
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("= ")) {
            out +=
                "{\\pard\\qc\\sb120\\sa120\\b\\fs32\\cf1 " + rtfEscape(line.substr(2)) + "\\par}";
        } else if (line.starts_with("# ")) {
            out += "{\\pard\\sb120\\b\\fs24\\cf2 " + rtfEscape(line.substr(2)) + "\\par}";
        } else if (line.starts_with("## ")) {
            out += "{\\pard\\li120\\b " + rtfEscape(line.substr(3)) + "\\par}";
        } else if (line.starts_with("・")) {
            out += "{\\pard\\li360\\fi-240 " + rtfEscape(line) + "\\par}";
        } else {
            out += rtfEscape(line) + "\\par";
        }
        out += "\r\n";
    }
    out += "}\r\n";
    return out;
}

std::string versionText() {
    constexpr std::string_view kHistory = R"(なごみ 版歴

0.1.0 (2026/12/08)
  最初の版。
  キャラクターの表示と、ドラッグでの移動。
  吹き出しでのおしゃべり、時計、時報、アラーム。
  日本の祝日つきのカレンダー。
  メール確認 (POP3/APOP) と、SNTP による時刻合わせ。
  設定ファイル pikmain.ini と、おしゃべりの記録 piklog.txt。
)";
    std::string crlf;
    for (char ch : kHistory) {
        if (ch == '\n') {
            crlf += '\r';
        }
        crlf += ch;
    }
    return toCp932(crlf);
}

std::string indexHtml() {
    return R"(<!DOCTYPE html>
<html lang="ja">
<head>
<meta charset="UTF-8">
<title>なごみ - デスクトップの小さな相棒</title>
<style>
  body { margin: 0; background: #fff6f8; color: #3e2830;
         font-family: "IPAPGothic", "IPAGothic", sans-serif; line-height: 1.7; }
  main { max-width: 40em; margin: 2em auto; padding: 1.5em 2em; background: #ffffff;
         border: 2px solid #3e2830; border-radius: 18px; }
  h1 { margin: 0 0 0.2em; font-size: 2em; color: #e05c74; }
  h1 small { font-size: 0.5em; color: #7cb4e8; }
  h2 { font-size: 1.1em; border-left: 6px solid #7cb4e8; padding-left: 0.5em; margin-top: 1.6em; }
  code { background: #eef5ff; padding: 0 0.3em; border-radius: 4px; }
  footer { margin-top: 2em; font-size: 0.85em; color: #8a7078; }
</style>
</head>
<body>
<main>
<h1>なごみ <small>デスクトップの小さな相棒</small></h1>
<p>なごみは、あなたのデスクトップに住んでいる女の子です。
いつも画面の上にいて、吹き出しでひとことおしゃべりしたり、時刻を知らせたりしてくれます。</p>

<h2>できること</h2>
<ul>
  <li>胸もとの時計と、毎時ちょうどのチャイムによる時報</li>
  <li>3つまで使えるアラーム</li>
  <li>日本の祝日つきのカレンダー</li>
  <li>POP3 / APOP による新着メールの確認</li>
  <li>SNTP による時刻合わせ</li>
  <li>おしゃべりの記録 (<code>piklog.txt</code>)</li>
</ul>

<h2>はじめかた</h2>
<p>プログラムを起動すると、なごみがデスクトップにあらわれます。
左ボタンでつかんで好きな場所へ動かし、短くクリックすると日付と時刻を教えてくれます。
右クリックでメニューが開き、設定やヘルプ、終了はここから選べます。</p>

<h2>設定について</h2>
<p>設定は <code>pikmain.ini</code> に保存されます。このファイルは、なごみを起動したフォルダーに置かれます。
アラーム2とアラーム3は、このファイルを直接書きかえて設定します。</p>

<footer>なごみ 0.1.0</footer>
</main>
</body>
</html>
)";
}

} // namespace gen
