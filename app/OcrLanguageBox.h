#pragma once
// The choice of the language the faxes' text is read in (OCR), among the
// languages installed for the OCR engine; kept in TOV.INI [Archive]. A
// language chosen before whose data is gone is named, with the fact that
// English is read instead.

#include <QGroupBox>

class QComboBox;
class QLabel;

namespace app {

class OcrLanguageBox final : public QGroupBox {
  Q_OBJECT
  Q_DISABLE_COPY(OcrLanguageBox)

public:
  explicit OcrLanguageBox(QWidget* parent = nullptr);

  // The language code chosen ("eng").
  QString Language() const;
  // Writes the choice; false when TOV.INI cannot be written.
  bool Store() const;

private:
  QComboBox* m_languages = nullptr;
  QLabel* m_problem = nullptr;
};

} // namespace app
