#pragma once
// Puts what the rich-text reader read into a Qt text document.
#include "help/RtfReader.h"

class QTextDocument;

namespace help {

// Replaces the document's content.
void fillDocument(QTextDocument& document, const RtfDocument& rtf);

} // namespace help
