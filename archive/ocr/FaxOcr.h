#pragma once
// The text of a fax file: every page of an APF file read by OCR.

#include "archive/FaxText.h"

namespace archive {

class PageOcr;

// Decodes each page at its coded resolution and reads it. Throws the fax
// error family when the file cannot be read (not APF, a cut-off page).
FaxText ReadFaxText(PageOcr& ocr, const std::string& apfPath);

// A reader of fax files with its own engine for the language.
TextReader MakeTextReader(const std::string& language);

} // namespace archive
