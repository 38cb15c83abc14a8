#pragma once
// Choosing a file to fax together with how its grey and colour pages become
// black and white. The choice is shown under the file list of the chooser
// and remembered in TOV.INI ([Import] Halftone) for the next file.

#include "docimport/ImportTypes.h"

#include <QString>
#include <optional>

class QComboBox;
class QWidget;

namespace docimport {

// The halftone choices in the order shown: "Automatic", "Text and line art
// (threshold)", "Photograph (error diffusion)".
QComboBox* NewHalftoneBox(QWidget* parent = nullptr);
Halftone HalftoneAt(int index);

// The choice made last (this run, else as TOV.INI keeps it), Automatic at first.
Halftone RememberedHalftone();
void RememberHalftone(Halftone halftone);

struct ImportFileChoice {
  QString path;
  Halftone halftone = Halftone::Auto;
};
// The file chooser for documents and pictures with the halftone choice;
// nothing when the user cancelled. The choice is remembered.
std::optional<ImportFileChoice> ChooseImportFile(QWidget* parent, const QString& caption);

} // namespace docimport
