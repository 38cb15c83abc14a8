#include "compose/TPhoneBook.h"

#include "core/FaxStores.h"
#include "widgets/MessageBoxes.h"
#include "compose/EditorParts.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "compose/TPhoneBookEditor.h"
#include "compose/TableGridModel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace compose {

TPhoneBook::TPhoneBook(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Phone Book Browser"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  m_model = std::make_unique<TTableGridModel>(
      PhoneTable, std::vector<TGridColumn>{{QStringLiteral("Name"), "NAME", 50},
                                           {QStringLiteral("Fax #"), "PHONE", 25}});
  buildControls();
  connectButtons();
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
}

TPhoneBook::~TPhoneBook() {
  PhoneGrid->setModel(nullptr);
  if (PhoneTable.isOpen())
    PhoneTable.close();
}

void TPhoneBook::buildControls() {
  PhoneGrid = new QTableView(this);
  PhoneGrid->setObjectName(QStringLiteral("PhoneGrid"));
  SetUpGrid(PhoneGrid, m_model.get());
  Addbutton = MakeButton(QStringLiteral("Addbutton"), QStringLiteral("&New"),
                         QStringLiteral("Create a new phone book entry"), this);
  Modifybutton = MakeButton(QStringLiteral("Modifybutton"), QStringLiteral("&Edit"),
                            QStringLiteral("Edit the currently selected phone book entry"), this);
  Deletebutton = MakeButton(QStringLiteral("Deletebutton"), QStringLiteral("&Delete"),
                            QStringLiteral("Delete the currently selected phone book entry"), this);
  Closebutton = MakeButton(QStringLiteral("Closebutton"), QStringLiteral("C&lose"),
                           QStringLiteral("Close the Phone Book Browser"), this);
  Closebutton->setDefault(true);
  Cancelbutton =
      MakeButton(QStringLiteral("Cancelbutton"), QStringLiteral("Cance&l"),
                 QStringLiteral("Cancel - do not use any of these phone book entries"), this);
  Cancelbutton->hide();
  OKButton = MakeButton(QStringLiteral("OKButton"), QStringLiteral("&Accept"),
                        QStringLiteral("Use this phone book entry"), this);
  OKButton->hide();
  Helpbutton = MakeButton(QStringLiteral("Helpbutton"), QStringLiteral("&Help"),
                          QStringLiteral("Get Windows help for Phonebook Browser"), this);
  status = MakeStatusLabel(this);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b :
       {Addbutton, Modifybutton, Deletebutton, OKButton, Cancelbutton, Closebutton, Helpbutton})
    buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(PhoneGrid, 1);
  layout->addWidget(status);
  resize(PhoneGrid->fontMetrics().averageCharWidth() * 90, 380);
}

void TPhoneBook::connectButtons() {
  connect(Addbutton, &QPushButton::clicked, this, [this] { AddbuttonClick(); });
  connect(Modifybutton, &QPushButton::clicked, this, [this] { ModifyButtonClick(); });
  connect(Deletebutton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
  connect(OKButton, &QPushButton::clicked, this, [this] { AcceptbuttonClick(); });
  connect(Cancelbutton, &QPushButton::clicked, this, [this] { done(2); });
  connect(Closebutton, &QPushButton::clicked, this, [this] { done(2); });
  connect(Helpbutton, &QPushButton::clicked, this, [] { appwidgets::ShowHelpContext(1019); });
  connect(PhoneGrid, &QTableView::doubleClicked, this, [this] {
    if (OKButton->isVisible())
      AcceptbuttonClick();
  });
}

void TPhoneBook::SetChoosingMode(bool choosing) {
  Closebutton->setVisible(!choosing);
  OKButton->setVisible(choosing);
  Cancelbutton->setVisible(choosing);
  OKButton->setDefault(choosing);
  Closebutton->setDefault(!choosing);
  SetButtonStates();
}

void TPhoneBook::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_model->Refresh();
  ShowCurrentRow(PhoneGrid, m_model.get());
  SetButtonStates();
}

void TPhoneBook::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    SetButtonStates();
}

void TPhoneBook::SetButtonStates() {
  appwidgets::ProcessPendingEvents();
  const bool any = PhoneTable.isOpen() && PhoneTable.queryRecCount() > 0;
  Modifybutton->setEnabled(any);
  Deletebutton->setEnabled(any);
  if (OKButton->isVisibleTo(this))
    OKButton->setEnabled(any);
}

void TPhoneBook::storeEntry(const TPhoneBookEditor& editor) {
  PhoneTable.setField("NAME", appwidgets::ToAnsi(editor.Name->text()));
  PhoneTable.setField("PHONE", appwidgets::ToAnsi(editor.Number->text()));
  PhoneTable.post();
}

void TPhoneBook::AddbuttonClick() {
  TPhoneBookEditor editor(this);
  appwidgets::CenterForm(&editor);
  editor.Store = [&] {
    app::WriteRecord(PhoneTable, [&] {
      PhoneTable.append();
      storeEntry(editor);
    });
  };
  if (editor.exec() == 1)
    ShowRecord(PhoneGrid, m_model.get(), PhoneTable, PhoneTable.recNo());
  SetButtonStates();
}

void TPhoneBook::ModifyButtonClick() {
  if (PhoneTable.queryRecCount() == 0 || !SelectGridRow(PhoneGrid, m_model.get())) {
    appwidgets::MessageBeep();
    return;
  }
  const long recNo = PhoneTable.recNo();
  TPhoneBookEditor editor(this);
  editor.Name->setText(appwidgets::FromAnsi(PhoneTable.fieldString("NAME")));
  editor.Number->setText(appwidgets::FromAnsi(PhoneTable.fieldString("PHONE")));
  appwidgets::CenterForm(&editor);
  editor.Store = [&] {
    app::WriteRecord(PhoneTable, [&] {
      PhoneTable.go(recNo);
      PhoneTable.edit();
      storeEntry(editor);
    });
  };
  if (editor.exec() == 1)
    ShowRecord(PhoneGrid, m_model.get(), PhoneTable, recNo);
}

void TPhoneBook::DeleteButtonClick() {
  if (PhoneTable.queryRecCount() == 0 || !SelectGridRow(PhoneGrid, m_model.get())) {
    appwidgets::MessageBeep();
    return;
  }
  const QString question = QStringLiteral("Delete the current phone book entry?:\r") +
                           appwidgets::FromAnsi(PhoneTable.fieldString("NAME"));
  if (appwidgets::AskYesNoDefaultNo(question, QStringLiteral("Delete"), this))
    TableAction(
        PhoneTable, [&] { PhoneTable.deleteRecord(); }, this);
  ShowRecord(PhoneGrid, m_model.get(), PhoneTable, 0);
  SetButtonStates();
}

void TPhoneBook::AcceptbuttonClick() {
  if (!SelectGridRow(PhoneGrid, m_model.get()))
    return;
  m_chosenName = appwidgets::FromAnsi(PhoneTable.fieldString("NAME"));
  m_chosenNumber = appwidgets::FromAnsi(PhoneTable.fieldString("PHONE"));
  done(1);
}

} // namespace compose
