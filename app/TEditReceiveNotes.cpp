#include "app/TEditReceiveNotes.h"

#include "app/THelpWindow.h"
#include "widgets/SaveFailure.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPushButton* makeButton(QDialog* dialog, const char* name, const QString& caption,
                        const QString& hint) {
  auto* button = new QPushButton(caption, dialog);
  button->setObjectName(QString::fromLatin1(name));
  button->setStatusTip(hint);
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}
} // namespace

TEditReceiveNotes::TEditReceiveNotes(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EditReceiveNotes"));
  setWindowTitle(QStringLiteral("Received Fax Notes"));
  m_descript = new QLabel(this);
  m_descript->setObjectName(QStringLiteral("Descript"));
  QFont bold = m_descript->font();
  bold.setBold(true);
  m_descript->setFont(bold);
  auto* caption = new QLabel(QStringLiteral("Notes"), this);
  m_notes = new QLineEdit(this);
  m_notes->setObjectName(QStringLiteral("Notes"));
  m_notes->setMaxLength(60);
  m_notes->setMinimumWidth(m_notes->fontMetrics().averageCharWidth() * 62);
  m_notes->setStatusTip(QStringLiteral("A note about this fax"));
  caption->setBuddy(m_notes);
  m_acceptButton = makeButton(this, "AcceptButton", QStringLiteral("&Accept"),
                              QStringLiteral("Accept changes made and exit"));
  m_acceptButton->setDefault(true);
  m_cancelButton = makeButton(this, "CancelButton", QStringLiteral("Cance&l"),
                              QStringLiteral("Cancel changes made and exit"));
  m_helpButton = makeButton(this, "HelpButton", QStringLiteral("&Help"),
                            QStringLiteral("Help on received faxes"));
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("status"));
  m_status->setFixedHeight(24);
  m_status->setAlignment(Qt::AlignCenter);
  m_status->setFrameShape(QFrame::Panel);
  m_status->setFrameShadow(QFrame::Sunken);
  m_status->setStyleSheet(QStringLiteral("color: #0000ff;"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_acceptButton);
  buttons->addWidget(m_cancelButton);
  buttons->addWidget(m_helpButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_descript);
  layout->addSpacing(6);
  layout->addWidget(caption);
  layout->addWidget(m_notes);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->addWidget(m_status);

  connect(m_acceptButton, &QPushButton::clicked, this, [this] {
    if (!Store ||
        appwidgets::StoreOrExplain(Store, QStringLiteral("note"), QStringLiteral("Accept"), this))
      done(1);
  });
  connect(m_cancelButton, &QPushButton::clicked, this, [this] { done(2); });
  connect(m_helpButton, &QPushButton::clicked, this,
          [this] { THelpWindow::ShowTopic(1023, this); });
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, m_status);
}

TEditReceiveNotes::~TEditReceiveNotes() = default;
