#pragma once
// "Rebuild Indexes": packs the four tables and builds their index tags again,
// showing each step; closes itself when done.

#include <QDialog>
#include <QStringList>

class QLabel;
class TMainScreen;

class TRebuildInd : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TRebuildInd)

public:
  static constexpr int CloseRequestMessage = 1066;

  explicit TRebuildInd(TMainScreen* mainScreen);

  QLabel* WhatAmIDoing() const { return m_whatAmIDoing; }
  // Every status text shown, in order (the maintenance log of this run).
  const QStringList& StepsShown() const { return m_steps; }
  // The error that ended the work early, empty when it ran to the end.
  const QString& Failure() const { return m_failure; }
  // What the check before the rebuild found ("FILE: problem"), empty when all was well.
  const QStringList& Findings() const { return m_findings; }

protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

private:
  void FormActivate();
  void ShowStep(const QString& text);

  TMainScreen* m_mainScreen;
  QLabel* m_pleaseWait = nullptr;
  QLabel* m_whatAmIDoing = nullptr;
  QStringList m_steps;
  QString m_failure;
  QStringList m_findings;
  bool m_started = false;
};
