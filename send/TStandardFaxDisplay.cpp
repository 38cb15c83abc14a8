#include "send/TStandardFaxDisplay.h"

#include "widgets/HelpAndBeep.h"
#include "send/TFxMeter.h"
#include "faxengine/FaxTypes.h"
#include "faxengine/TFxSendFax.h"
#include "widgets/WindowServices.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString trimmedId(const std::string& id) {
  // The station ID comes padded to 20 characters from the line.
  const size_t first = id.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return appwidgets::FromAnsi(id.substr(first, id.find_last_not_of(' ') - first + 1));
}

} // namespace

TStandardFaxDisplay::TStandardFaxDisplay(QWidget* parent) : QDialog(parent) {
  setObjectName("TStandardFaxDisplay");
  setWindowTitle("Fax Status");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  m_grid = new QGridLayout;
  m_grid->setHorizontalSpacing(12);
  m_grid->setColumnMinimumWidth(1, 260);
  outer->addLayout(m_grid);
  fsPhoneNumber = AddRow("Phone number:", "fsPhoneNumber");
  fsFaxFileName = AddRow("Fax file name:", "fsFaxFileName", false);
  fsCoverFileName = AddRow("Cover file name:", "fsCoverFileName", false);
  fsTotalPages = AddRow("Total pages:", "fsTotalPages");
  fsDialAttempt = AddRow("Dial attempt:", "fsDialAttempt");
  fsRemoteID = AddRow("Remote ID:", "fsRemoteID");
  fsConnectBPS = AddRow("Connect BPS:", "fsConnectBPS");
  fsResolution = AddRow("Resolution:", "fsResolution");
  fsWidth = AddRow("Width:", "fsWidth");
  fsErrorControl = AddRow("Error control:", "fsErrorControl");
  fsCurrentPage = AddRow("Current page:", "fsCurrentPage");
  fsPageLength = AddRow("Page length:", "fsPageLength");
  fsBytesTransferred = AddRow("Bytes transferred:", "fsBytesTransferred");
  fsElapsedTime = AddRow("Elapsed time:", "fsElapsedTime");
  fsStatusMsg = AddRow("Status:", "fsStatusMsg");
  BuildPanel();
  outer->addWidget(fsPanel6);
  fsCancel = new QPushButton("Cancel", this);
  fsCancel->setObjectName("fsCancel");
  outer->addWidget(fsCancel, 0, Qt::AlignHCenter);
  connect(fsCancel, &QPushButton::clicked, this, [this] { CancelClick(); });
}

QLabel* TStandardFaxDisplay::AddRow(const QString& caption, const char* name, bool visible) {
  auto* label = new QLabel(caption, this);
  auto* value = new QLabel(this);
  value->setObjectName(name);
  label->setVisible(visible);
  value->setVisible(visible);
  if (visible) {
    m_grid->addWidget(label, m_rows, 0, Qt::AlignRight);
    m_grid->addWidget(value, m_rows, 1);
    ++m_rows;
  }
  return value;
}

void TStandardFaxDisplay::BuildPanel() {
  fsPanel6 = new QFrame(this);
  fsPanel6->setObjectName("fsPanel6");
  fsPanel6->setFrameShape(QFrame::StyledPanel);
  fsPanel6->setFixedSize(510, 34);
  m_progressLabel = new QLabel("Page progress:", fsPanel6);
  m_progressLabel->setGeometry(8, 7, 110, 20);
  m_meter = new TFxMeter(fsPanel6);
  m_meter->setObjectName("FxMeter");
  m_meter->setGeometry(120, 7, 380, 20);
  m_meter->SetPosition(0);
  m_meter->SetStep(10);
}

QString TStandardFaxDisplay::TimeForm(long seconds) {
  const QString text =
      QString("%1:%2").arg(seconds / 60).arg(static_cast<int>(seconds % 60), 2, 10, QChar('0'));
  return text.rightJustified(6, QChar(' '));
}

QString TStandardFaxDisplay::ShortFileName(const std::string& path) {
  const size_t cut = path.find_last_of("\\:/");
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  if (name.size() > 20)
    return appwidgets::FromAnsi(name.substr(0, 20)) + "...";
  return appwidgets::FromAnsi(name);
}

void TStandardFaxDisplay::UpdateTimers(int code) {
  using namespace faxengine;
  if (!m_elapsedRunning && (code == fpGotRemoteID || code == fpSessionParams)) {
    m_elapsedStart = Clock::now();
    m_elapsedRunning = true;
  } else if (m_elapsedRunning && (code == fpFinished || code == fpCancel || code == fpGotHangup)) {
    m_elapsedRunning = false;
  }
  if (!m_redialRunning && code == fpBusyWait) {
    auto* sender = dynamic_cast<TFxCustomSendFax*>(m_fax);
    m_redialWait = sender ? sender->DialRetryWait() : 0;
    m_redialStart = Clock::now();
    m_redialRunning = true;
  } else if (m_redialRunning && code != fpBusyWait) {
    m_redialRunning = false;
  }
}

long TStandardFaxDisplay::RedialSecondsLeft() const {
  const auto gone = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_redialStart);
  return std::max(0L, m_redialWait - static_cast<long>(gone.count()));
}

void TStandardFaxDisplay::UpdateComponentValues(int code) {
  TFxCustomAbstractFax& fax = *m_fax;
  if (auto* sender = dynamic_cast<TFxCustomSendFax*>(&fax)) {
    fsPhoneNumber->setText(appwidgets::FromAnsi(sender->PhoneNumber()));
    fsFaxFileName->setText(ShortFileName(sender->FaxFile()));
    fsCoverFileName->setText(ShortFileName(sender->CoverFile()));
    fsDialAttempt->setText(QString::number(sender->DialAttempt()));
  } else {
    fsPhoneNumber->clear();
    fsFaxFileName->setText(ShortFileName(fax.FaxFile()));
    fsCoverFileName->clear();
    fsDialAttempt->setText("1");
  }
  fsTotalPages->setText(QString::number(fax.PageCount()));
  fsRemoteID->setText(trimmedId(fax.RemoteIdent()));
  fsConnectBPS->setText(QString::number(fax.LinkSpeed()));
  fsResolution->setText(fax.LinkFine() ? "high" : "standard");
  fsWidth->setText(fax.LinkWide() ? "2048" : "1728");
  fsErrorControl->setText(fax.LinkECM() ? "on" : "off");
  const int page = fax.PageNumber();
  fsCurrentPage->setText(page == 0 ? QString("<cover page>") : QString::number(page));
  fsPageLength->setText(QString::number(fax.PageBytesTotal()));
  fsBytesTransferred->setText(QString::number(fax.PageBytesDone()));
  if (m_elapsedRunning) {
    const auto s =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_elapsedStart).count();
    fsElapsedTime->setText(TimeForm(static_cast<long>(s)));
  } else {
    fsElapsedTime->setText("00:00");
  }
  QString status = appwidgets::FromAnsi(TFxCustomAbstractFax::StatusText(code));
  if (code == faxengine::fpBusyWait)
    status += TimeForm(RedialSecondsLeft());
  fsStatusMsg->setText(status);
}

void TStandardFaxDisplay::UpdateMeter() {
  if (!dynamic_cast<TFxCustomSendFax*>(m_fax)) {
    m_meter->hide();
    m_progressLabel->setText("Page progress: N/A");
    return;
  }
  m_meter->show();
  m_progressLabel->setText("Page progress:");
  const long total = m_fax->PageBytesTotal();
  const long done = m_fax->PageBytesDone();
  m_meter->SetMin(0);
  m_meter->SetMax(100);
  m_meter->SetPosition(total == 0 ? 0 : static_cast<int>(std::lround(done * 100.0 / total)));
}

void TStandardFaxDisplay::UpdateValues() {
  if (!m_fax)
    return;
  const int code = m_fax->ProgressCode();
  UpdateTimers(code);
  UpdateComponentValues(code);
  UpdateMeter();
}

void TStandardFaxDisplay::CancelClick() {
  if (m_fax)
    m_fax->AbortFax();
}
