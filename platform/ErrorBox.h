#pragma once
// The application's error box: a modal message box titled with the application's name.
namespace platform {

void installErrorBox();

} // namespace platform
