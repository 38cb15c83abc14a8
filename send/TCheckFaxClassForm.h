#pragma once
// Check fax class: asks the modem on the caller's port which fax classes it
// offers, checks that it really switches to each one it claims, and
// recommends the highest that works.

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class TFxCustomComPort;
class TFxCustomAbstractFax;

namespace appwidgets {
class TRadioGroup;
}

namespace faxsend {

// The check-fax-class command of a dialog: checks the modem on the chosen
// port through the dialog's components and offers the recommended class
// for the dialog's fax-class choice.
void CheckFaxClassFor(QWidget* parent, TFxCustomComPort& port, TFxCustomAbstractFax& fax,
                      appwidgets::TRadioGroup& comPort, appwidgets::TRadioGroup& faxClass);
} // namespace faxsend

class TCheckFaxClassForm : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TCheckFaxClassForm)
public:
  explicit TCheckFaxClassForm(QWidget* parent = nullptr);

  void SetComponents(TFxCustomComPort* port, TFxCustomAbstractFax* fax, int portNumber);
  // 0 Class 1, 1 Class 2, 2 Class 2.0, -1 none; and its name.
  int RecommendedIndex() const { return m_index; }
  QString RecommendedName() const { return m_name; }

  void CheckTheFaxClasses();
  // "OK" when the modem supports at least one class, else the text to show.
  QString DetermineFaxClassSupport();
  void FormActivate();
  void OkButtonClick();

protected:
  void showEvent(QShowEvent* event) override;

private:
  void ShowUnknown();
  void ShowSupport();
  // The classes the modem claimed but refused to switch to, in words.
  void VerifyClaims();
  void Finish();

  TFxCustomComPort* m_port = nullptr;
  TFxCustomAbstractFax* m_fax = nullptr;
  int m_portNumber = 0;
  int m_index = -1;
  QString m_name;
  bool m_class1 = false, m_class2 = false, m_class20 = false;
  bool m_checked = false;
  std::string m_claimed; // what AT+FCLASS=? answered
  QString m_refused;     // classes claimed but refused
  QLabel *Label1, *Label2, *Label3, *Status, *ModemSays;
  QPushButton* OkButton;
};
