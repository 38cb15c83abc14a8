#include "compose/TPhoneBookEditor.h"

#include "widgets/SaveFailure.h"
#include "compose/EditorParts.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace compose {

TPhoneBookEditor::TPhoneBookEditor(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Phone Book Editor"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint);
  buildControls();
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  connect(Cancelbutton, &QPushButton::clicked, this, [this] { done(2); });
  connect(Helpbutton, &QPushButton::clicked, this, [] { appwidgets::ShowHelpContext(1020); });
}

TPhoneBookEditor::~TPhoneBookEditor() = default;

void TPhoneBookEditor::buildControls() {
  Name = new TEnterEdit(QStringLiteral("Name"), 35,
                        QStringLiteral("Type the recipient's name here"), this);
  Number = new TEnterEdit(QStringLiteral("Number"), 25, QStringLiteral("Type the fax number here"),
                          this);
  OKButton = MakeButton(QStringLiteral("OKButton"), QStringLiteral("&Accept"),
                        QStringLiteral("Accept changes made and exit"), this);
  OKButton->setDefault(true);
  Cancelbutton = MakeButton(QStringLiteral("Cancelbutton"), QStringLiteral("Cance&l"),
                            QStringLiteral("Cancel changes made and exit"), this);
  Helpbutton = MakeButton(QStringLiteral("Helpbutton"), QStringLiteral("&Help"),
                          QStringLiteral("Get Windows help for Phone Book Editor"), this);
  status = MakeStatusLabel(this);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Name"), Name);
  fields->addRow(QStringLiteral("Fax Number"), Number);
  Name->setMinimumWidth(Name->fontMetrics().averageCharWidth() * 40);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(OKButton);
  buttons->addWidget(Cancelbutton);
  buttons->addWidget(Helpbutton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->addWidget(status);
}

void TPhoneBookEditor::OKButtonClick() {
  // Name and number go into Windows-1252 table fields; refuse what they
  // cannot hold instead of storing "?".
  if (!CheckAnsiTexts(
          this, {{QStringLiteral("The name"), Name}, {QStringLiteral("The fax number"), Number}}))
    return;
  if (Store && !appwidgets::StoreOrExplain(Store, QStringLiteral("phone book entry"),
                                           QStringLiteral("Accept"), this))
    return;
  done(1);
}

} // namespace compose
