#include "app/TRebuildInd.h"

#include "app/TMainScreen.h"
#include "core/TableMaintenance.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QEvent::Type closeRequestType() {
  return static_cast<QEvent::Type>(QEvent::User + TRebuildInd::CloseRequestMessage);
}
} // namespace

TRebuildInd::TRebuildInd(TMainScreen* mainScreen) : QDialog(mainScreen), m_mainScreen(mainScreen) {
  setObjectName(QStringLiteral("RebuildInd"));
  setWindowTitle(QStringLiteral("Rebuild Indexes"));
  // A fixed dialog border without border icons: no close box while it works.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(288, 141);
  m_pleaseWait = new QLabel(QStringLiteral("Please wait..."), this);
  m_pleaseWait->setObjectName(QStringLiteral("PleaseWait"));
  QFont bold(QStringLiteral("Arial"));
  bold.setPointSize(10);
  bold.setBold(true);
  m_pleaseWait->setFont(bold);
  m_pleaseWait->setAlignment(Qt::AlignCenter);
  m_whatAmIDoing = new QLabel(this);
  m_whatAmIDoing->setObjectName(QStringLiteral("WhatAmIDoing"));
  m_whatAmIDoing->setAlignment(Qt::AlignCenter);
  m_whatAmIDoing->setWordWrap(true);
  m_whatAmIDoing->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addStretch(1);
  layout->addWidget(m_pleaseWait);
  layout->addSpacing(12);
  layout->addWidget(m_whatAmIDoing);
  layout->addStretch(1);
}

void TRebuildInd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_started)
    return;
  m_started = true;
  QTimer::singleShot(0, this, &TRebuildInd::FormActivate);
}

bool TRebuildInd::event(QEvent* event) {
  if (event->type() == closeRequestType()) {
    done(1);
    return true;
  }
  return QDialog::event(event);
}

void TRebuildInd::ShowStep(const QString& text) {
  m_steps << text;
  m_whatAmIDoing->setText(text);
  m_whatAmIDoing->show();
  appwidgets::ProcessPendingEvents();
}

// The whole work; however it ends, the window is asked to close.
void TRebuildInd::FormActivate() {
  appwidgets::BusyCursor busy;
  app::MaintenanceTables tables{m_mainScreen->FaxTable(), m_mainScreen->RecTable(),
                                m_mainScreen->PhoneTable(), m_mainScreen->CoverTable()};
  auto progress = [this](const std::string& text) { ShowStep(QString::fromStdString(text)); };
  QStringList findings;
  try {
    for (const app::TableFinding& f : app::CheckTables(tables, progress))
      findings << QString::fromStdString(f.FileName + ": " + f.Text);
    if (findings.isEmpty())
      ShowStep(QStringLiteral("No problems found"));
    app::RebuildIndexes(tables, progress);
  } catch (const std::exception& e) {
    m_failure = QString::fromLocal8Bit(e.what());
  }
  QCoreApplication::postEvent(this, new QEvent(closeRequestType()));
  m_findings = findings;
  if (!findings.isEmpty())
    appwidgets::ShowInfo(QStringLiteral("The check found these problems; the rebuild has dealt "
                                        "with what an index rebuild and pack can mend:\r\r") +
                             findings.mid(0, 12).join(QStringLiteral("\r")),
                         this);
  if (!m_failure.isEmpty())
    appwidgets::ShowError(m_failure, this);
}
