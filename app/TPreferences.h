#pragma once
// The preferences dialog: user, dialling, modem, receive and sound settings,
// the device behind each Com entry, and the modem utilities. It edits copies
// in its controls; the settings change only when it is accepted.

#include "widgets/WindowServices.h"
#include "faxengine/TFxSendFax.h"
#include "serial/TFxComPort.h"

#include <QDialog>

#include <memory>

class PortFeaturesPage;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSoundEffect;
class QTabWidget;
namespace app {
class PrintingPage;
}
class SipLinePage;
namespace appwidgets {
class TRadioGroup;
}

class TPreferences : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TPreferences)
public:
  // Fills the controls from app::Settings and TOV.INI [Ports].
  explicit TPreferences(QWidget* parent = nullptr);
  ~TPreferences() override;

  // Set by the opener on the first run: the greeting box comes at the
  // first activation.
  void SetFirstRunGreeting(bool on) { m_firstRunGreeting = on; }
  bool FirstRunGreeting() const { return m_firstRunGreeting; }

  TFxComPort& FxComPort1() { return *m_comPort; }
  TFxSendFax& FxSendFax1() { return *m_sendFax; }

  void HelpButtonClick();
  void AcceptbuttonClick();
  void CancelbuttonClick();
  void SelectWavButtonClick();
  void BitBtn2Click();         // Play Now
  void BitBtn1Click();         // None
  void ExplorerButton1Click(); // Default Font
  void FindModemButtonClick();
  void CheckFaxClassButtonClick();
  void ExplorerButton2Click(); // Modem Reset

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildForm();
  QWidget* BuildButtonRow();
  QWidget* BuildUserPage();
  QWidget* BuildModemPage();
  QWidget* BuildReceivePage();
  void ConnectButtons();
  void LoadControls();
  void FormActivate();
  // Takes the fields back in order; false (after the error box) when a
  // number field stops it.
  bool TakeBackSettings();
  bool SavePortDevices();
  void RefreshComDevice();

  std::unique_ptr<TFxComPort> m_comPort;
  std::unique_ptr<TFxSendFax> m_sendFax;
  bool m_firstRunGreeting = false;
  bool m_activated = false;

  QTabWidget* m_pages = nullptr;
  app::PrintingPage* m_printingPage = nullptr;
  PortFeaturesPage* m_portFeatures = nullptr;
  SipLinePage* m_sipPage = nullptr;
  appwidgets::TRadioGroup *ComPort = nullptr, *FaxClass = nullptr, *ToneOrPulse = nullptr;
  appwidgets::TRadioGroup* AnswerOnRing = nullptr;
  QCheckBox *CheckBlindDial = nullptr, *CheckIgnoreBusy = nullptr, *ReceiveAtStartup = nullptr;
  QLineEdit *Name = nullptr, *FaxNumber = nullptr, *DialPrefix = nullptr, *ModemInit = nullptr;
  QLineEdit *DialAttempts = nullptr, *RetryWait = nullptr, *TimeOut = nullptr;
  QLineEdit* WaveFileEdit = nullptr;
  QComboBox* TransferRate = nullptr;
  QComboBox* m_devices[6] = {};
  QLabel* m_comDevice = nullptr;
  QPushButton *HelpButton = nullptr, *DefaultFontButton = nullptr, *FindModemButton = nullptr;
  QPushButton *CheckFaxClassButton = nullptr, *ModemResetButton = nullptr;
  QPushButton *AcceptButton = nullptr, *CancelButton = nullptr;
  QPushButton *SelectWavButton = nullptr, *PlayNowButton = nullptr, *NoneButton = nullptr;
  QLabel* status = nullptr;
  QSoundEffect* m_sound = nullptr;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
};
