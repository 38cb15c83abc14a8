#pragma once
// Modem reset: edits the reset strings sent before and after each fax call
// and sends either of them at once through a port of its own.

#include "serial/TFxComPort.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
namespace appwidgets {
class HintRedirect;
}
namespace appwidgets {
class TRadioGroup;
}

class TResetModemForm : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TResetModemForm)
public:
  explicit TResetModemForm(QWidget* parent = nullptr);
  ~TResetModemForm() override;

  appwidgets::TRadioGroup* ComPortGroup() const { return ComPort; }
  QLineEdit* ResetStringEdit() const { return ResetString; }
  QLineEdit* ResetAfterStringEdit() const { return ResetAfterString; }
  TFxComPort& FxComPort1() { return m_comPort; }

  void OkButtonClick();
  void HelpbuttonClick();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

private:
  QWidget* BuildStringRow(const QString& caption, QLineEdit*& edit, QPushButton*& recommended,
                          QPushButton*& sendNow, int row);
  // "Send Now" for the text of one row.
  void SendNow(const QString& command);

  TFxComPort m_comPort;
  appwidgets::TRadioGroup* ComPort = nullptr;
  QLineEdit *ResetString = nullptr, *ResetAfterString = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;
  QPushButton *OkButton = nullptr, *Helpbutton = nullptr;
  QLabel* status = nullptr;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
};

namespace faxsend {
// Opens the modem reset dialog on the stored strings and port; however it
// is closed, the two strings are stored and the settings saved (the port
// chosen in it is not stored). Returns the dialog's result.
int ShowModemReset(QWidget* parent = nullptr);
} // namespace faxsend
