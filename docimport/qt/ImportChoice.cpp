#include "docimport/qt/ImportChoice.h"

#include "core/IniFile.h"
#include "widgets/MessageBoxes.h"
#include "docimport/qt/PagePictures.h"
#include "platform/ProgramDir.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <memory>

namespace docimport {

namespace {

constexpr Halftone kChoices[] = {Halftone::Auto, Halftone::Threshold, Halftone::Diffuse};
constexpr int kChoiceCount = int(std::size(kChoices));

// The choice of this run: set once the user has chosen, so that a profile
// that cannot be written does not lose it.
std::optional<Halftone>& chosenThisRun() {
  static std::optional<Halftone> chosen;
  return chosen;
}

int indexOf(Halftone halftone) {
  for (int i = 0; i < kChoiceCount; ++i)
    if (kChoices[i] == halftone)
      return i;
  return 0;
}

} // namespace

QComboBox* NewHalftoneBox(QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QStringLiteral("cbHalftone"));
  box->addItem(QStringLiteral("Automatic"));
  box->addItem(QStringLiteral("Text and line art (threshold)"));
  box->addItem(QStringLiteral("Photograph (error diffusion)"));
  box->setToolTip(QStringLiteral("How grey and colour pages become black and white: Automatic "
                                 "keeps text sharp and gives photographs their tones"));
  return box;
}

Halftone HalftoneAt(int index) {
  return index >= 0 && index < kChoiceCount ? kChoices[index] : Halftone::Auto;
}

Halftone RememberedHalftone() {
  if (chosenThisRun())
    return *chosenThisRun();
  const app::IniFile ini(platform::IniFileName());
  return HalftoneAt(ini.ReadInteger("Import", "Halftone", 0));
}

void RememberHalftone(Halftone halftone) {
  chosenThisRun() = halftone;
  try {
    app::IniFile ini(platform::IniFileName());
    ini.WriteInteger("Import", "Halftone", indexOf(halftone));
  } catch (const app::EIniWriteError&) {
    // Kept for this run; the next run starts at the profile's choice again.
  }
}

std::optional<ImportFileChoice> ChooseImportFile(QWidget* parent, const QString& caption) {
  auto extra = std::make_unique<QWidget>();
  extra->setObjectName(QStringLiteral("pnlHalftone"));
  auto* row = new QHBoxLayout(extra.get());
  row->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(QStringLiteral("&Black and white:"), extra.get());
  QComboBox* box = NewHalftoneBox(extra.get());
  label->setBuddy(box);
  box->setCurrentIndex(indexOf(RememberedHalftone()));
  row->addWidget(label);
  row->addWidget(box, 1);
  const QString path =
      appwidgets::GetOpenFileName(parent, caption, QString(), ImportFileFilter(), extra.get());
  if (path.isEmpty())
    return std::nullopt;
  const Halftone halftone = HalftoneAt(box->currentIndex());
  RememberHalftone(halftone);
  return ImportFileChoice{path, halftone};
}

} // namespace docimport
