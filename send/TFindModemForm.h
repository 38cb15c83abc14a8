#pragma once
// Find modem: tries Com1 to Com6 on the caller's port for a device that
// answers "OK" to "AT", and says which device each Com entry is.

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class TFxCustomComPort;

namespace appwidgets {
class TRadioGroup;
}

namespace faxsend {

// The find-modem command of a dialog with a port choice: runs the search on
// the dialog's port, puts the port's number back to the chosen entry, and
// offers to choose the entry where a modem answered.
void FindModemFor(QWidget* parent, TFxCustomComPort& port, appwidgets::TRadioGroup& comPort);
} // namespace faxsend

class TFindModemForm : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TFindModemForm)
public:
  explicit TFindModemForm(QWidget* parent = nullptr);

  void SetComPort(TFxCustomComPort* port) { m_port = port; }
  // The first Com entry on which a modem answered, or -1.
  int FoundPort() const { return m_found; }

  void FormActivate();
  void OkButtonClick();

protected:
  void showEvent(QShowEvent* event) override;

private:
  // One Com entry: its result text after "Com n: ".
  std::string TestPort(int n);
  std::string TalkToModem(int n);
  QString ResultMessage() const;

  TFxCustomComPort* m_port = nullptr;
  int m_found = -1;
  bool m_portInUse = false;
  bool m_searched = false;
  std::string m_troubles; // what is known about devices that could not be opened
  QLabel* m_labels[6] = {};
  QLabel* m_devices[6] = {};
  QLabel* Label7 = nullptr;
  QPushButton* OkButton = nullptr;
};
