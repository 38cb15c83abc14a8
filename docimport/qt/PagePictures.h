#pragma once
// Documents into the rich-text editor: each page of a PDF, image, TIFF or
// word-processor file as a picture, at the fax page's 200 pixels per inch,
// black and white exactly as it will be faxed. Files are read in a child
// process (docimport::importPagesIsolated), so a damaged file gives a
// message and never takes the editor down.

#include "docimport/ImportTypes.h"

#include <QString>

namespace richtext {
class TRichEditor;
}

namespace docimport {

// Inserts every page of the file at the cursor, each page a picture that
// fills the text area at most and stands on a page of its own. Returns the
// number of pages inserted; 0 with *error (when given) saying why. Grey and
// colour pages become black and white as `halftone` says.
int InsertPagesFromFile(richtext::TRichEditor& editor, const QString& path, QString* error,
                        Halftone halftone = Halftone::Auto);

// Inserts the file's first page as one picture at the cursor, at its printed
// size but no wider than the text. False with *error on failure.
bool InsertPictureFromFile(richtext::TRichEditor& editor, const QString& path, QString* error,
                           Halftone halftone = Halftone::Auto);

// The file-dialog filter for the files these read.
QString ImportFileFilter();

} // namespace docimport
