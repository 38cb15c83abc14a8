#include "app/PortFeaturesPage.h"

#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

PortFeaturesPage::PortFeaturesPage(QWidget* parent) : QWidget(parent) {
  setObjectName("PortFeaturesPage");
  auto* column = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(24);
  grid->addWidget(new QLabel("Error correction (ECM)", this), 0, 1);
  grid->addWidget(new QLabel("2-D coding (MR, MMR)", this), 0, 2);
  const std::string ini = platform::IniFileName();
  for (int i = 0; i < 6; ++i) {
    const int com = i + 1;
    const platform::PortFaxFeatures features = platform::PortFeatures(com, ini);
    grid->addWidget(new QLabel(QString("Com%1").arg(com), this), com, 0);
    m_ecm[i] = new QCheckBox(this);
    m_ecm[i]->setObjectName(QString("EcmCom%1").arg(com));
    m_ecm[i]->setChecked(features.ecm);
    m_ecm[i]->setToolTip(QString("Correct line errors by sending spoilt parts of a page again "
                                 "on Com%1, when the other fax machine can")
                             .arg(com));
    m_twoDim[i] = new QCheckBox(this);
    m_twoDim[i]->setObjectName(QString("TwoDimCom%1").arg(com));
    m_twoDim[i]->setChecked(features.twoDim);
    m_twoDim[i]->setToolTip(
        QString("Send and receive pages in the shorter two-dimensional codings on Com%1").arg(com));
    grid->addWidget(m_ecm[i], com, 1, Qt::AlignHCenter);
    grid->addWidget(m_twoDim[i], com, 2, Qt::AlignHCenter);
  }
  grid->setColumnStretch(3, 1);
  column->addLayout(grid);
  auto* note = new QLabel("Both make faxes shorter and error-free when the other side has them. "
                          "Turn them off for a modem or line that does not cope with them.",
                          this);
  note->setWordWrap(true);
  column->addWidget(note);
  column->addStretch(1);
}

bool PortFeaturesPage::Save() {
  const std::string ini = platform::IniFileName();
  bool ok = true;
  for (int i = 0; i < 6; ++i) {
    const platform::PortFaxFeatures chosen{m_ecm[i]->isChecked(), m_twoDim[i]->isChecked()};
    const platform::PortFaxFeatures stored = platform::PortFeatures(i + 1, ini);
    // Only a changed port is written, so an untouched file stays as it was.
    if (chosen.ecm != stored.ecm || chosen.twoDim != stored.twoDim)
      ok = platform::SetPortFeatures(i + 1, chosen, ini) && ok;
  }
  return ok;
}
