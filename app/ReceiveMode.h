#pragma once
// Receive mode: a port and a receive component that answer calls on the
// modem of the settings. It tells what happens through signals; the window
// that owns it lists what arrived and shows what failed.

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class TFxComPort;
class TFxReceiveFax;
class TFxCustomAbstractFax;
class MainScreenTestAccess;

namespace app {

struct TSettings;

// A fax that arrived, or the part of one that arrived before the call failed.
struct ReceivedFax {
  std::string From; // remote ID, trimmed of its padding
  int Pages = 0;
  std::string File; // path of the APF file
  QDateTime When;
};

class ReceiveMode : public QObject {
  Q_OBJECT
  Q_DISABLE_COPY(ReceiveMode)

public:
  // `dataDir` holds receive/ and the port's trace and log files.
  ReceiveMode(const std::string& dataDir, QObject* parent = nullptr);
  ~ReceiveMode() override;

  // Opens the port of the settings, sends the reset string and waits for
  // calls (the modem strings of the settings take their "AT" prefix, so
  // that the next save keeps it). Returns the reason when it could not start (the port is closed
  // again then), empty when it waits.
  QString Start(TSettings& settings);
  // Ends the call in progress, waits for it to let go of the port, sends
  // the after-reset string and closes the port. Always ends receive mode.
  void Stop(TSettings& settings);

  bool Receiving() const { return m_receiving; }
  bool FaxInProgress() const { return m_faxInProgress; }
  TFxReceiveFax* Component() const { return m_receiveFax.get(); }
  TFxComPort* Port() const { return m_comPort.get(); }

signals:
  // A status text for the window's status line.
  void StatusText(const QString& text);
  // Receiving or not changed (Start, Stop, or the modem went away).
  void ReceivingChanged(bool receiving);
  // These two come from the event loop after the call has moved on, so a
  // handler may write tables and open boxes.
  void FaxReceived(const app::ReceivedFax& fax);
  // `kept` holds the pages that arrived before the failure (Pages 0 and
  // the file removed when none did).
  void FaxFailed(const QString& reason, const app::ReceivedFax& kept);
  // Receive mode ended without Stop (the modem went away).
  void Ended(const QString& reason);

private:
  friend class ::MainScreenTestAccess;
  void OnStatus(TFxCustomAbstractFax& cp, bool first, bool last);
  void OnLog(TFxCustomAbstractFax& cp, int logCode);
  void OnFinish(int code);
  void SetReceiving(bool on);

  std::unique_ptr<TFxComPort> m_comPort;
  std::unique_ptr<TFxReceiveFax> m_receiveFax;
  bool m_receiving = false;
  bool m_faxInProgress = false;
  bool m_stopping = false;
  uint16_t m_receivedPages = 0;
  int m_lastFaxError = 0;
};

} // namespace app
