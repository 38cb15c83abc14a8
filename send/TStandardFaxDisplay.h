#pragma once
// The fax status window: what the running fax call is doing, shown from the
// fax component's values at every status event.

#include <QDialog>

#include <chrono>

class QLabel;
class QPushButton;
class QFrame;
class TFxMeter;
class TFxCustomAbstractFax;

class TStandardFaxDisplay : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TStandardFaxDisplay)
public:
  explicit TStandardFaxDisplay(QWidget* parent = nullptr);

  void SetFax(TFxCustomAbstractFax* fax) { m_fax = fax; }
  TFxCustomAbstractFax* Fax() const { return m_fax; }
  TFxMeter* Meter() const { return m_meter; }

  // Runs on every status event of the fax component.
  void UpdateValues();
  // The Cancel button: aborts the call (it ends through OnFaxFinish).
  void CancelClick();

  // s seconds as m:ss, blank-padded on the left to six characters.
  static QString TimeForm(long seconds);
  // The file name part of a path, cut to 20 characters plus "...".
  static QString ShortFileName(const std::string& path);

  bool ElapsedRunning() const { return m_elapsedRunning; }
  bool RedialRunning() const { return m_redialRunning; }

private:
  using Clock = std::chrono::steady_clock;
  QLabel* AddRow(const QString& caption, const char* name, bool visible = true);
  void BuildPanel();
  void UpdateTimers(int code);
  void UpdateComponentValues(int code);
  void UpdateMeter();
  long RedialSecondsLeft() const;

  TFxCustomAbstractFax* m_fax = nullptr;
  class QGridLayout* m_grid = nullptr;
  int m_rows = 0;
  QLabel *fsPhoneNumber, *fsFaxFileName, *fsCoverFileName, *fsTotalPages, *fsDialAttempt;
  QLabel *fsRemoteID, *fsConnectBPS, *fsResolution, *fsWidth, *fsErrorControl;
  QLabel *fsCurrentPage, *fsPageLength, *fsBytesTransferred, *fsElapsedTime, *fsStatusMsg;
  QLabel* m_progressLabel = nullptr;
  QFrame* fsPanel6 = nullptr;
  TFxMeter* m_meter = nullptr;
  QPushButton* fsCancel = nullptr;
  bool m_elapsedRunning = false;
  bool m_redialRunning = false;
  Clock::time_point m_elapsedStart;
  Clock::time_point m_redialStart;
  long m_redialWait = 0;
};
