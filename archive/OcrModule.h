#pragma once
// The OCR module (libtolvane_ocr.so) for programs that do not link the OCR
// engine: the desktop program loads it in its background reader only.

#include "archive/FaxText.h"

namespace archive {

// A reader from the module next to the program, in lib/tolvane/ beside its
// bin/, or in the build tree. Throws std::runtime_error when the module or
// the language's data is missing.
TextReader LoadOcrModuleReader(const std::string& language);

} // namespace archive
