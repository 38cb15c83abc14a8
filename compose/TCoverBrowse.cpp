#include "compose/TCoverBrowse.h"

#include "core/FaxStores.h"
#include "widgets/MessageBoxes.h"
#include "compose/EditorParts.h"
#include "widgets/FormParts.h"
#include "compose/RichTextMemo.h"
#include "widgets/HelpAndBeep.h"
#include "compose/TCoverEditor.h"
#include "compose/TableGridModel.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace compose {

TCoverBrowse::TCoverBrowse(xbase::Table& coverTable, QWidget* parent)
    : QDialog(parent), m_table(coverTable) {
  setWindowTitle(QStringLiteral("Cover Sheet Template Browser"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  m_model = std::make_unique<TTableGridModel>(
      m_table, std::vector<TGridColumn>{{QStringLiteral("Description"), "DESCRIPT", 100}});
  buildControls();
  connectButtons();
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
}

TCoverBrowse::~TCoverBrowse() {
  CoverGrid->setModel(nullptr);
}

void TCoverBrowse::buildControls() {
  CoverGrid = new QTableView(this);
  CoverGrid->setObjectName(QStringLiteral("CoverGrid"));
  SetUpGrid(CoverGrid, m_model.get());
  NewButton = MakeButton(QStringLiteral("NewButton"), QStringLiteral("&New"),
                         QStringLiteral("Create a new fax cover template"), this);
  ModifyButton = MakeButton(QStringLiteral("ModifyButton"), QStringLiteral("&Edit"),
                            QStringLiteral("Edit the currently selected fax cover template"), this);
  CloneButton = MakeButton(QStringLiteral("CloneButton"), QStringLiteral("&Clone"),
                           QStringLiteral("Clone the currently selected fax cover template"), this);
  DeleteButton =
      MakeButton(QStringLiteral("DeleteButton"), QStringLiteral("&Delete"),
                 QStringLiteral("Delete  the currently selected fax cover template"), this);
  CloseButton = MakeButton(QStringLiteral("CloseButton"), QStringLiteral("C&lose"),
                           QStringLiteral("Close the Cover Sheet Template Browser"), this);
  CloseButton->setDefault(true);
  Acceptbutton = MakeButton(QStringLiteral("Acceptbutton"), QStringLiteral("&Accept"),
                            QStringLiteral("Use this cover sheet template"), this);
  Acceptbutton->hide();
  CancelButton = MakeButton(QStringLiteral("CancelButton"), QStringLiteral("Cance&l"),
                            QStringLiteral("Cancel - do not use any of these templates"), this);
  CancelButton->hide();
  HelpButton =
      MakeButton(QStringLiteral("HelpButton"), QStringLiteral("&Help"),
                 QStringLiteral("Get Windows help for Cover Sheet Template Browser"), this);
  status = MakeStatusLabel(this);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {NewButton, ModifyButton, CloneButton, DeleteButton, Acceptbutton,
                         CancelButton, CloseButton, HelpButton})
    buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(CoverGrid, 1);
  layout->addWidget(status);
  resize(620, 360);
}

void TCoverBrowse::connectButtons() {
  connect(NewButton, &QPushButton::clicked, this, [this] { NewButtonClick(); });
  connect(ModifyButton, &QPushButton::clicked, this, [this] { ModifyButtonClick(); });
  connect(CloneButton, &QPushButton::clicked, this, [this] { CloneButtonClick(); });
  connect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
  connect(Acceptbutton, &QPushButton::clicked, this, [this] { AcceptbuttonClick(); });
  connect(CloseButton, &QPushButton::clicked, this, [this] { done(2); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(2); });
  connect(HelpButton, &QPushButton::clicked, this, [] { appwidgets::ShowHelpContext(1017); });
}

void TCoverBrowse::SetChoosingMode(bool choosing) {
  CloseButton->setVisible(!choosing);
  Acceptbutton->setVisible(choosing);
  CancelButton->setVisible(choosing);
  Acceptbutton->setDefault(choosing);
  CloseButton->setDefault(!choosing);
}

void TCoverBrowse::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_model->Refresh();
  ShowCurrentRow(CoverGrid, m_model.get());
}

void TCoverBrowse::storeTemplate(const TCoverEditor& editor) {
  // The field keeps 35 characters; the editor's box never takes more.
  m_table.setField("DESCRIPT", appwidgets::ToAnsi(editor.CoverDescription->text()));
  SaveRichText(*editor.RichCover, m_table, "COVER");
  m_table.post();
}

bool TCoverBrowse::loadTemplate(TCoverEditor& editor) {
  try {
    LoadRichText(*editor.RichCover, m_table, "COVER");
    return true;
  } catch (const std::exception& e) {
    m_clone = false;
    appwidgets::ShowError(QString::fromLocal8Bit(e.what()), this);
    return false;
  }
}

void TCoverBrowse::NewButtonClick() {
  TCoverEditor editor(this);
  if (m_clone && SelectGridRow(CoverGrid, m_model.get())) {
    editor.CoverDescription->setText(QStringLiteral("[clone]") +
                                     appwidgets::FromAnsi(m_table.fieldString("DESCRIPT")));
    if (!loadTemplate(editor))
      return;
  } else {
    editor.CoverDescription->setText(QStringLiteral("{description}"));
    appwidgets::ApplyDefaultFont(*editor.RichCover);
  }
  m_clone = false;
  editor.Store = [&] {
    app::WriteRecord(m_table, [&] {
      m_table.append();
      storeTemplate(editor);
    });
  };
  editor.exec();
  ShowRecord(CoverGrid, m_model.get(), m_table, m_table.recNo());
}

void TCoverBrowse::ModifyButtonClick() {
  if (m_table.queryRecCount() == 0 || !SelectGridRow(CoverGrid, m_model.get())) {
    appwidgets::MessageBeep();
    return;
  }
  const long recNo = m_table.recNo();
  TCoverEditor editor(this);
  editor.CoverDescription->setText(appwidgets::FromAnsi(m_table.fieldString("DESCRIPT")));
  if (!loadTemplate(editor))
    return;
  editor.Store = [&] {
    app::WriteRecord(m_table, [&] {
      m_table.go(recNo);
      m_table.edit();
      storeTemplate(editor);
    });
  };
  editor.exec();
  ShowRecord(CoverGrid, m_model.get(), m_table, recNo);
}

void TCoverBrowse::CloneButtonClick() {
  if (m_table.queryRecCount() == 0) {
    appwidgets::MessageBeep();
    return;
  }
  m_clone = true;
  NewButtonClick();
}

void TCoverBrowse::DeleteButtonClick() {
  if (m_table.queryRecCount() == 0 || !SelectGridRow(CoverGrid, m_model.get())) {
    appwidgets::MessageBeep();
    return;
  }
  const QString question = QStringLiteral("Delete the current cover template?:\r") +
                           appwidgets::FromAnsi(m_table.fieldString("DESCRIPT"));
  if (appwidgets::AskYesNoDefaultNo(question, QStringLiteral("Delete"), this))
    TableAction(
        m_table, [&] { m_table.deleteRecord(); }, this);
  ShowRecord(CoverGrid, m_model.get(), m_table, 0);
}

void TCoverBrowse::AcceptbuttonClick() {
  // The caller reads the chosen template from the table's current record;
  // with no template listed there is nothing to hand back.
  if (m_table.queryRecCount() == 0 || !SelectGridRow(CoverGrid, m_model.get())) {
    appwidgets::MessageBeep();
    return;
  }
  done(1);
}

} // namespace compose
