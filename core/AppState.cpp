#include "core/AppState.h"

namespace core {

std::string& StartDir() {
    static std::string dir;
    return dir;
}

bool& IsHidden() {
    static bool v = false;
    return v;
}

bool& IsHiddenForFullscreen() {
    static bool v = false;
    return v;
}

bool& IsAlermSounded() {
    static bool v = false;
    return v;
}

void resetAppState() {
    StartDir().clear();
    IsHidden() = false;
    IsHiddenForFullscreen() = false;
    IsAlermSounded() = false;
}

} // namespace core
