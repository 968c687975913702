#pragma once
// A reader of rich text (RTF) from untrusted bytes. No Qt.
namespace help {} // namespace help
