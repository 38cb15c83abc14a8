#pragma once
// The send dialog: the dialling and modem settings of one send, its own
// serial port and send component, and the fax status window.
//
// The main window hands it the fax file, the phone number and the caption,
// loads its fields from the settings, shows it modally, then reads the last
// result and takes the fields back into the settings.

#include "widgets/WindowServices.h"
#include "send/TFxFaxStatus.h"
#include "faxengine/TFxSendFax.h"
#include "serial/TFxComPort.h"

#include <QDateTime>
#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {
struct TSettings;
}
namespace appwidgets {
class TRadioGroup;
}

class TSendFaxForm : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TSendFaxForm)
public:
  explicit TSendFaxForm(QWidget* parent = nullptr);
  ~TSendFaxForm() override;

  void SetFaxFile(const QString& path) { m_faxFile = path; }
  QString FaxFile() const { return m_faxFile; }
  void SetPhoneNumber(const QString& number) { m_phoneNumber = number; }
  // "Sent", "Cancelled" (no attempt finished) or the error text of the last attempt.
  QString LastResult() const { return m_lastResult; }
  QString HeaderLineText() const { return m_headerLine; }
  bool Busy() const { return m_busy; }

  // Every field from the settings, and every field back (a number field
  // whose text is not an integer leaves its setting as it was).
  void LoadSettings(const app::TSettings& settings);
  void StoreSettings(app::TSettings& settings) const;

  // The header line for a name, a station ID and a moment.
  static QString BuildHeaderLine(const QString& name, const QString& stationId,
                                 const QDateTime& when);
  QString BuildHeader() const;

  TFxSendFax& FxSendFax1() { return *m_sendFax; }
  TFxComPort& FxComPort1() { return *m_comPort; }
  TFxFaxStatus& FxFaxStatus1() { return *m_faxStatus; }

  void SendFaxButtonClick();
  void FxSendFax1FaxFinish(TFxCustomAbstractFax& sender, int errorCode);
  void CloseButtonClick();
  void HelpButtonClick();
  void CheckFaxClassButtonClick();
  void FindModemButtonClick();
  void ExplorerButton1Click();
  void ExplorerButton2Click();

protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

private:
  void BuildForm();
  QWidget* BuildFieldColumn();
  QWidget* BuildChoiceColumn();
  QWidget* BuildButtonRow();
  void ConnectButtons();
  void FormActivate();
  // Steps of a send: settings onto the component (may raise).
  void ConfigureSendFax();
  void ApplyDialNumbers();
  void StartSend();
  void EndAttempt();
  void ClosePort();
  void SetStatus(const QString& text);

  QString m_faxFile, m_coverFile, m_phoneNumber;
  QString m_lastResult = "Cancelled";
  QString m_headerLine;
  bool m_busy = false;
  bool m_firstActivation = true;

  // The port outlives the send component that uses it.
  std::unique_ptr<TFxComPort> m_comPort;
  std::unique_ptr<TFxSendFax> m_sendFax;
  std::unique_ptr<TFxFaxStatus> m_faxStatus;

  QLineEdit *sfPhoneNumber = nullptr, *sfDialPrefix = nullptr, *sfStationID = nullptr;
  QLineEdit *sfusername = nullptr, *sfModemInit = nullptr;
  QLineEdit *sfDialAttempts = nullptr, *sfRetryWait = nullptr, *sfTimeOut = nullptr;
  appwidgets::TRadioGroup *sfFaxClass = nullptr, *ComPort = nullptr, *sfToneOrPulse = nullptr;
  QLabel* m_comDevice = nullptr;
  QCheckBox *CheckBlindDial = nullptr, *CheckIgnoreBusy = nullptr;
  QComboBox* TransferRate = nullptr;
  QPushButton *SendFaxButton = nullptr, *CloseButton = nullptr, *Helpbutton = nullptr;
  QPushButton *CheckFaxClassButton = nullptr, *FindModemButton = nullptr;
  QPushButton *ExplorerButton1 = nullptr, *ExplorerButton2 = nullptr;
  QLabel* status = nullptr;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
};
