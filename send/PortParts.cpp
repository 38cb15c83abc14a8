#include "send/PortParts.h"

#include "send/SerialDevices.h"
#include "serial/TFxCustomComPort.h"
#include "widgets/FormParts.h"
#include "widgets/WindowServices.h"

#include <QLabel>
#include <QRadioButton>

namespace faxsend {

void SetUpModemPort(TFxCustomComPort& port) {
  port.SetComNumber(1);
  port.SetInSize(8192);
  port.SetOutSize(8192);
  port.SetAutoOpen(false);
  port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  port.SetBufferFull(7372);
  port.SetBufferResume(819);
  port.SetTapiMode(tmOff);
}

void ShowComDevices(appwidgets::TRadioGroup* comPort, QLabel* label) {
  for (int i = 0; i < comPort->Count(); ++i)
    comPort->Button(i)->setToolTip(appwidgets::FromAnsi(ComDeviceText(i + 1)));
  auto refresh = [comPort, label] {
    const int index = comPort->ItemIndex();
    label->setText(index < 0 ? QString("No port selected") : appwidgets::FromAnsi(ComDeviceText(index + 1)));
    label->setToolTip(label->text());
  };
  QObject::connect(comPort, &appwidgets::TRadioGroup::ItemIndexChanged, label, refresh);
  refresh();
}

QStringList ComItems() {
  return {"Com1", "Com2", "Com3", "Com4", "Com5", "Com6"};
}

QString ModemText(const std::string& text) {
  QString shown = appwidgets::FromAnsi(text);
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

} // namespace faxsend
