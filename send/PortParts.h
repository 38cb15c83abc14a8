#pragma once
// What the send dialog, the modem utilities and the preferences share about
// modem ports: the port set-up of these windows, the Com entries, the line
// that says which device a Com entry is, and modem texts shown in windows.

#include <QString>
#include <QStringList>

#include <string>

class QLabel;
class TFxCustomComPort;

namespace appwidgets {
class TRadioGroup;
}

namespace faxsend {

// The port of the send dialog and the modem utilities: 8 KB buffers,
// RTS/CTS flow, opened only when needed.
void SetUpModemPort(TFxCustomComPort& port);

// Keeps `label` saying which device the group's selected Com entry is, and
// puts each entry's device in its button's tool tip.
void ShowComDevices(appwidgets::TRadioGroup* comPort, QLabel* label);

// The Com entries "Com1" ... "Com6".
QStringList ComItems();

// The modem texts break lines with a carriage return; labels and boxes
// show them as line breaks.
QString ModemText(const std::string& text);

} // namespace faxsend
