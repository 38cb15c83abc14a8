#pragma once
// `tolvane --demo`: a data folder of its own and Com1 on a simulated fax
// modem (tolvane-modemsim, started and stopped here) whose line ends in
// simulated fax machines: one that takes faxes sent to it, numbers that are
// busy or do not answer, and one that calls in every few minutes.

#include "app/HelperProgram.h"

#include <QString>

class DemoMode {
public:
  // Numbers of the simulated line (shown in the first-run text).
  static constexpr const char* FaxNumber = "5550100";
  static constexpr const char* BusyNumber = "5550101";
  static constexpr const char* NoAnswerNumber = "5550102";
  static constexpr const char* CallerNumber = "5550105";
  static constexpr int FirstCallSeconds = 60;
  static constexpr int CallEverySeconds = 240;

  explicit DemoMode(QString dataDir);
  ~DemoMode();
  DemoMode(const DemoMode&) = delete;
  DemoMode& operator=(const DemoMode&) = delete;

  // $XDG_DATA_HOME/tolvane-demo/ (normally ~/.local/share/tolvane-demo/).
  static QString DefaultDataDir();
  // tolvane-modemsim next to this program, in the build tree, or on PATH.
  static QString SimulatorPath();

  // Points Com1 of the folder's TOV.INI at the simulated modem, and on the
  // first demo start sets receive mode at start-up and a station ID; writes
  // the fax the caller sends and the simulator's setup.
  bool Prepare(QString* error);
  // Starts the simulator and waits until its modem exists.
  bool Start(QString* error);
  void Stop();
  bool Running() const;

  QString ModemLink() const { return m_dataDir + QStringLiteral("com1"); }
  QString ConfigPath() const { return m_dataDir + QStringLiteral("demo-sim.conf"); }
  QString FirstRunText() const;
  // True when Prepare set up the folder for the first time.
  bool FirstStart() const { return m_firstStart; }

private:
  void WriteIncomingFax();
  QString m_dataDir;
  bool m_firstStart = false;
  HelperProgram m_simulator;
};
