#pragma once
// The state of the SIP lines in a place of its own beside the main window's
// status line (registered, refused, the registrar gone, the line stopped),
// so that the messages of receive mode and of sending, which come and go on
// the status line, never hide it. Hidden while no Com entry is a SIP line.

#include <QLabel>
#include <QString>

#include <map>

namespace app {

class SipLineStatus : public QLabel {
  Q_OBJECT
  Q_DISABLE_COPY(SipLineStatus)

public:
  explicit SipLineStatus(QWidget* parent = nullptr);

  // Com n's line is in this state; empty when Com n is no SIP line now.
  void SetLineState(int comNumber, const QString& state);

private:
  std::map<int, QString> m_states;
};

} // namespace app
