#pragma once
// The SIP lines of the desktop program: for each Com entry that is a SIP
// line, a tolvane-sipmodem run beside the program with the account from
// TOV.INI and the password from the secret store, its modem at the Com
// entry's device path. What the line reports (registered, refused, the
// registrar gone) becomes a sentence, the line's state, which the main
// window keeps in a place of its own (app/SipLineStatus).

#include "core/SipLineSettings.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class HelperProgram;
class QTimer;

namespace app {

class SipLines : public QObject {
  Q_OBJECT
  Q_DISABLE_COPY(SipLines)

public:
  explicit SipLines(QObject* parent = nullptr);
  ~SipLines() override;

  // Brings the running lines in line with TOV.INI: starts a line for each
  // Com entry that is one, restarts those whose account or password changed
  // and stops the others. Returns once each started line's modem exists.
  void Update();
  // The last thing Com n's line reported, in words; empty for no line.
  QString State(int comNumber) const;

Q_SIGNALS:
  // Something to tell once, on the status line.
  void StatusText(const QString& text);
  // Com n's line is in a new state; empty when it is no SIP line any more.
  void LineState(int comNumber, const QString& state);

private:
  struct Line {
    SipLineSettings Settings;
    QString Password;
    std::unique_ptr<HelperProgram> Program;
    qint64 LogRead = 0;
    QString State;
  };
  void Start(int comNumber, Line& line);
  void Report(int comNumber, Line& line, const QString& text);
  void ReadLogs();

  std::map<int, Line> m_lines;
  QTimer* m_poll = nullptr;
};

} // namespace app
