#pragma once
// What makes the program look at home on the desktop: her icon on every window, and Qt's own
// dialogs (font, colour, message box buttons) in Japanese.
namespace platform {

// Her icon (compiled into the program) as every window's icon.
void installAppIcon();
// Qt's Japanese translations, when installed. Missing ones leave Qt's dialogs in English.
void installQtTranslations();

} // namespace platform
