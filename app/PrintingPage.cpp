#include "app/PrintingPage.h"

#include "core/Settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace app {

PrintingPage::PrintingPage(const TSettings& settings, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PrintingPage"));
  auto* column = new QVBoxLayout(this);
  auto* about = new QLabel(
      QStringLiteral("Any program can fax through the printer \"Tolvane Fax\": type the fax "
                     "number in its print dialog. The printed pages become a new fax in the "
                     "Sent list, and its Send window opens with the number filled in.\n\n"
                     "Set the printer up once, as root: tolvane-fax print-queue"),
      this);
  about->setWordWrap(true);
  column->addWidget(about);
  m_sendAtOnce = new QCheckBox(QStringLiteral("Send printed faxes with a number &at once"), this);
  m_sendAtOnce->setObjectName(QStringLiteral("SendPrintedAtOnce"));
  m_sendAtOnce->setToolTip(QStringLiteral(
      "The Send window of a printed fax starts dialling by itself when the print dialog gave "
      "a fax number"));
  m_sendAtOnce->setChecked(settings.SendPrintedAtOnce);
  column->addWidget(m_sendAtOnce);
  column->addStretch(1);
}

void PrintingPage::TakeBack(TSettings& settings) const {
  settings.SendPrintedAtOnce = m_sendAtOnce->isChecked();
}

} // namespace app
