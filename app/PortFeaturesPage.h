#pragma once
// The Preferences page with each port's fax features: error correction
// (ECM) and two-dimensional coding (MR, MMR). Both are on unless turned off
// for a modem or line that does not cope with them; they live in TOV.INI,
// section [Ports], keys Com<n>Ecm and Com<n>TwoDim.

#include <QWidget>

class QCheckBox;

class PortFeaturesPage : public QWidget {
  Q_DISABLE_COPY(PortFeaturesPage)
public:
  // Shows the switches of the program's TOV.INI.
  explicit PortFeaturesPage(QWidget* parent = nullptr);

  // Writes the switches of the ports whose choice changed; false when the
  // file could not be written.
  bool Save();

private:
  QCheckBox* m_ecm[6] = {};
  QCheckBox* m_twoDim[6] = {};
};
