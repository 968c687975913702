#pragma once
// Failures the user must see. An AppError carries the exact Japanese message; every entry point
// (window creation, timer tick, menu command, mouse handler) runs inside guard(), which shows the
// application's error box and returns, so no exception ever crosses the event loop.
#include <functional>
#include <stdexcept>
#include <string>

namespace platform {

class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// The standard messages.
std::string msgNotInteger(const std::string& value);  // '%s' は整数ではありません
std::string msgNotTime(const std::string& value);     // '%s' は時刻ではありません
std::string msgCannotOpen(const std::string& file);   // ファイル %s は開けません
std::string msgCannotCreate(const std::string& file); // ファイル %s を作成できません
std::string msgBadExtension(const std::string& ext); // 拡張子 .%s の画像形式は処理できません
std::string msgNotBitmap(); // ビットマップを持っている時のみ...

// Where error boxes go. The window layer installs a modal message box; without one, messages
// are written to stderr.
using ErrorPresenter = std::function<void(const std::string& message)>;
void setErrorPresenter(ErrorPresenter presenter);
void showErrorBox(const std::string& message);

// Runs `body`; an AppError or std::exception it throws is shown in the error box. Returns false
// when the body stopped at an error.
bool guard(const std::function<void()>& body);

} // namespace platform
