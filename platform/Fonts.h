#pragma once
// Colours and fonts of the Windows design mapped onto what this desktop has.
#include <QColor>
#include <QFont>
#include <string>

namespace platform {

// The MS faces named in settings map to the IPA faces.
void installFontSubstitutions();

// A stored colour value: 0x00BBGGRR, or the top bit set plus a system colour index.
QColor colorFromValue(int value);
int valueFromColor(const QColor& color);

// A font of the given face and size in points.
QFont fontFor(const std::string& face, int points);

} // namespace platform
