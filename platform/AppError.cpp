#include "platform/AppError.h"

#include <cstdio>

namespace platform {
namespace {
ErrorPresenter& presenter() {
    static ErrorPresenter p;
    return p;
}
} // namespace

namespace {

// A value shown in a message box: at most 100 characters, so a hostile file cannot make the box
// (or its layout) enormous.
std::string shown(const std::string& value) {
    constexpr size_t kMaxChars = 100;
    size_t chars = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        // Count UTF-8 lead bytes only.
        if ((static_cast<unsigned char>(value[i]) & 0xC0) != 0x80 && chars++ == kMaxChars) {
            return value.substr(0, i) + "…";
        }
    }
    return value;
}

} // namespace

std::string msgNotInteger(const std::string& value) {
    return "'" + shown(value) + "' は整数ではありません";
}
std::string msgNotTime(const std::string& value) {
    return "'" + shown(value) + "' は時刻ではありません";
}
std::string msgCannotOpen(const std::string& file) {
    return "ファイル " + file + " は開けません";
}
std::string msgCannotCreate(const std::string& file) {
    return "ファイル " + file + " を作成できません";
}
std::string msgBadExtension(const std::string& ext) {
    return "拡張子 ." + ext + " の画像形式は処理できません";
}
std::string msgNotBitmap() {
    return "ビットマップを持っている時のみイメージの変更が可能です";
}

void setErrorPresenter(ErrorPresenter p) {
    presenter() = std::move(p);
}

void showErrorBox(const std::string& message) {
    if (presenter()) {
        presenter()(message);
    } else {
        std::fprintf(stderr, "なごみ: %s\n", message.c_str());
    }
}

bool guard(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        showErrorBox(e.what());
    } catch (...) {
        showErrorBox("不明なエラー");
    }
    return false;
}

} // namespace platform
