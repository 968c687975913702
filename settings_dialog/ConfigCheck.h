#pragma once
// The checks of the settings dialog's fields. No Qt.
namespace settings_dialog {} // namespace settings_dialog
