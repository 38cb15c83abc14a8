#include "compose/TCoverBrowse.h"

#include "app/widgets/MessageBoxes.h"
#include "compose/FormParts.h"
#include "compose/RichTextMemo.h"
#include "compose/SendServices.h"
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

namespace {
QPushButton* makeButton(const QString& name, const QString& text, const QString& hint,
                        QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  SetHint(b, hint);
  return b;
}
} // namespace

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
  NewButton = makeButton(QStringLiteral("NewButton"), QStringLiteral("&New"),
                         QStringLiteral("Create a new fax cover template"), this);
  ModifyButton = makeButton(QStringLiteral("ModifyButton"), QStringLiteral("&Edit"),
                            QStringLiteral("Edit the currently selected fax cover template"), this);
  CloneButton = makeButton(QStringLiteral("CloneButton"), QStringLiteral("&Clone"),
                           QStringLiteral("Clone the currently selected fax cover template"), this);
  DeleteButton =
      makeButton(QStringLiteral("DeleteButton"), QStringLiteral("&Delete"),
                 QStringLiteral("Delete  the currently selected fax cover template"), this);
  CloseButton = makeButton(QStringLiteral("CloseButton"), QStringLiteral("C&lose"),
                           QStringLiteral("Close the Cover Sheet Template Browser"), this);
  CloseButton->setDefault(true);
  Acceptbutton = makeButton(QStringLiteral("Acceptbutton"), QStringLiteral("&Accept"),
                            QStringLiteral("Use this cover sheet template"), this);
  Acceptbutton->hide();
  CancelButton = makeButton(QStringLiteral("CancelButton"), QStringLiteral("Cance&l"),
                            QStringLiteral("Cancel - do not use any of these templates"), this);
  CancelButton->hide();
  HelpButton =
      makeButton(QStringLiteral("HelpButton"), QStringLiteral("&Help"),
                 QStringLiteral("Get Windows help for Cover Sheet Template Browser"), this);
  status = new QLabel(this);
  status->setObjectName(QStringLiteral("status"));
  status->setAlignment(Qt::AlignCenter);
  status->setStyleSheet(QStringLiteral("color: blue"));
  status->setMinimumHeight(24);

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
  connect(HelpButton, &QPushButton::clicked, this, [] { ShowHelpContext(1017); });
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

bool TCoverBrowse::selectCurrent() {
  const QModelIndex current = CoverGrid->currentIndex();
  return m_model->SelectRow(current.isValid() ? current.row() : 0);
}

void TCoverBrowse::showRecord(long recNo) {
  m_model->Refresh();
  if (recNo > 0 && recNo <= m_table.recCount()) {
    try {
      m_table.go(recNo);
    } catch (const std::exception&) {
    }
  }
  ShowCurrentRow(CoverGrid, m_model.get());
}

void TCoverBrowse::storeTemplate(const TCoverEditor& editor) {
  // The field keeps 35 characters; the editor's box never takes more.
  m_table.setField("DESCRIPT", appwidgets::ToAnsi(editor.CoverDescription->text()));
  SaveRichText(*editor.RichCover, m_table, "COVER");
  m_table.post();
}

void TCoverBrowse::NewButtonClick() {
  TCoverEditor editor(this);
  if (m_clone && selectCurrent()) {
    editor.CoverDescription->setText(QStringLiteral("[clone]") +
                                     appwidgets::FromAnsi(m_table.fieldString("DESCRIPT")));
    LoadRichText(*editor.RichCover, m_table, "COVER");
  } else {
    editor.CoverDescription->setText(QStringLiteral("{description}"));
    appwidgets::ApplyDefaultFont(*editor.RichCover);
  }
  m_clone = false;
  if (editor.exec() == 1) {
    TableAction(
        m_table,
        [&] {
          m_table.append();
          storeTemplate(editor);
        },
        this);
  }
  showRecord(m_table.recNo());
}

void TCoverBrowse::ModifyButtonClick() {
  if (m_table.queryRecCount() == 0 || !selectCurrent()) {
    MessageBeep();
    return;
  }
  const long recNo = m_table.recNo();
  TCoverEditor editor(this);
  editor.CoverDescription->setText(appwidgets::FromAnsi(m_table.fieldString("DESCRIPT")));
  LoadRichText(*editor.RichCover, m_table, "COVER");
  if (editor.exec() == 1) {
    TableAction(
        m_table,
        [&] {
          m_table.go(recNo);
          m_table.edit();
          storeTemplate(editor);
        },
        this);
  }
  showRecord(recNo);
}

void TCoverBrowse::CloneButtonClick() {
  if (m_table.queryRecCount() == 0) {
    MessageBeep();
    return;
  }
  m_clone = true;
  NewButtonClick();
}

void TCoverBrowse::DeleteButtonClick() {
  if (m_table.queryRecCount() == 0 || !selectCurrent()) {
    MessageBeep();
    return;
  }
  const QString question = QStringLiteral("Delete the current cover template?:\r") +
                           appwidgets::FromAnsi(m_table.fieldString("DESCRIPT"));
  if (appwidgets::AskYesNoDefaultNo(question, QStringLiteral("Delete"), this))
    TableAction(
        m_table, [&] { m_table.deleteRecord(); }, this);
  showRecord(0);
}

void TCoverBrowse::AcceptbuttonClick() {
  // The caller reads the chosen template from the table's current record;
  // with no template listed there is nothing to hand back.
  if (m_table.queryRecCount() == 0 || !selectCurrent()) {
    MessageBeep();
    return;
  }
  done(1);
}

} // namespace compose
