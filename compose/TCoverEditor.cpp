#include "compose/TCoverEditor.h"

#include "widgets/SaveFailure.h"
#include "compose/EditorRequests.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "richtext/MergeField.h"
#include "richtext/RichEditor.h"
#include "richtext/RichToolBar.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace compose {

TCoverEditor::TCoverEditor(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Cover Sheet Template Editor"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);
  RichCover = new richtext::TRichEditor(this);
  RichCover->setObjectName(QStringLiteral("RichCover"));
  RichCover->setStyleSheet(QStringLiteral("background: white"));
  RichToolBar1 = new richtext::TRichToolBar(RichCover, this);
  RichToolBar1->setObjectName(QStringLiteral("RichToolBar1"));
  CoverButtons = AddEditorButtons(RichToolBar1, QStringLiteral("CoverDocPageBreakButton"),
                                  QStringLiteral("CoverParagraphSetupbutton"),
                                  QStringLiteral("CoverDocWordWrapButton"));
  buildTop();
  buildInsertMenu();
  status = MakeStatusLabel(this);
  auto* layout = static_cast<QVBoxLayout*>(this->layout());
  layout->addWidget(RichToolBar1);
  layout->addWidget(RichCover, 1);
  layout->addWidget(status);
  connectControls();
  ShowWordWrap(*RichCover, CoverButtons.WordWrap);
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
  resize(1040, 640);
  appwidgets::RestorePlacement(this);
}

TCoverEditor::~TCoverEditor() = default;

void TCoverEditor::buildTop() {
  CoverDescription = new TEnterEdit(
      QStringLiteral("CoverDescription"), 35,
      QStringLiteral("Enter a description for this cover sheet template here"), this);
  CoverDescription->setMinimumWidth(CoverDescription->fontMetrics().averageCharWidth() * 38);
  HelpButton = MakeButton(QStringLiteral("HelpButton"), QStringLiteral("&Help"), QString(), this);
  OKbutton = MakeButton(QStringLiteral("OKbutton"), QStringLiteral("&Accept"),
                        QStringLiteral("Ok - save changes to this template"), this);
  OKbutton->setDefault(true);
  CancelButton = MakeButton(QStringLiteral("CancelButton"), QStringLiteral("Cance&l"),
                            QStringLiteral("Cancel - do not save changes to this template"), this);
  InsertButton = MakeButton(
      QStringLiteral("InsertButton"), QStringLiteral("&Insert"),
      QStringLiteral("Insert a field from the recipient data, or the current date and time"), this);
  Zoombutton = MakeButton(QStringLiteral("Zoombutton"), ZoomCaption(100),
                          QStringLiteral("Set the view percentage for the current editor"), this);
  ZoomMenu = MakeZoomMenu(this);
  auto* top = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Description"), this);
  label->setBuddy(CoverDescription);
  top->addWidget(label);
  top->addWidget(CoverDescription);
  top->addStretch();
  for (QPushButton* b : {InsertButton, Zoombutton, OKbutton, CancelButton, HelpButton})
    top->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
}

void TCoverEditor::buildInsertMenu() {
  InsertMenu = new QMenu(this);
  InsertMenu->setObjectName(QStringLiteral("InsertMenu"));
  const std::pair<const char*, const char*> items[] = {{"mnuRecipient1", "Recipient"},
                                                       {"mnuFaxNumber1", "Fax Number"},
                                                       {"mnuSubject", "Subject"},
                                                       {"mnuDate", "Date"},
                                                       {"mnuTime", "Time"}};
  for (const auto& [name, caption] : items) {
    QAction* item = InsertMenu->addAction(QString::fromLatin1(caption));
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this, [this, item] { MenuItemClick(item->text()); });
  }
  AddPictureItems(InsertMenu, *RichCover, this);
}

void TCoverEditor::connectControls() {
  connect(OKbutton, &QPushButton::clicked, this, [this] { OKbuttonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(2); });
  connect(HelpButton, &QPushButton::clicked, this, [] { appwidgets::ShowHelpContext(1018); });
  connect(InsertButton, &QPushButton::clicked, this,
          [this] { appwidgets::PopupBelow(InsertButton, InsertMenu); });
  connect(Zoombutton, &QPushButton::clicked, this, [this] {
    CheckZoomItem(ZoomMenu, RichCover->Zoom());
    appwidgets::PopupBelow(Zoombutton, ZoomMenu);
  });
  connect(ZoomMenu, &QMenu::aboutToShow, this,
          [this] { CheckZoomItem(ZoomMenu, RichCover->Zoom()); });
  connect(ZoomMenu, &QMenu::triggered, this,
          [this](QAction* item) { SetZoom(item->data().toInt()); });
  connect(CoverButtons.PageBreak, &QAction::triggered, this,
          [this] { AskPageBreak(*RichCover, this); });
  connect(CoverButtons.WordWrap, &QAction::triggered, this,
          [this] { ToggleWordWrap(*RichCover, CoverButtons.WordWrap); });
  connect(CoverButtons.Paragraph, &QAction::triggered, this,
          [this] { EditParagraph(*RichCover, this); });
  // The toolbar's spelling button already raises the editor's request.
  connect(RichCover, &richtext::TRichEditor::StartSpellCheck, this,
          [this] { StartSpellCheck(this, *RichCover); });
}

void TCoverEditor::MenuItemClick(const QString& caption) {
  const QString name = caption.toUpper().remove(QLatin1Char('&'));
  const QString names[] = {QStringLiteral("RECIPIENT"), QStringLiteral("FAX NUMBER"),
                           QStringLiteral("SUBJECT"), QStringLiteral("DATE"),
                           QStringLiteral("TIME")};
  for (int tag = 1; tag <= 5; ++tag) {
    if (name == names[tag - 1]) {
      RichCover->InsertMergeField(tag, richtext::mergeFieldDisplayText(tag));
      RichCover->Repaint();
      return;
    }
  }
}

void TCoverEditor::SetZoom(int zoom) {
  RichCover->SetZoom(zoom);
  Zoombutton->setText(ZoomCaption(RichCover->Zoom()));
}

void TCoverEditor::showEvent(QShowEvent* event) {
  RichCover->SetPageLayout(richtext::TPageLayout{});
  RichCover->Repaint();
  QDialog::showEvent(event);
}

void TCoverEditor::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // The first activation lays the text out and puts the caret at its start;
  // later ones (a dialog of this window closing, the user coming back from
  // another program) leave the caret where the user left it.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activated) {
    m_activated = true;
    RichCover->Reformat();
    RichCover->CaretToStart();
  }
}

void TCoverEditor::OKbuttonClick() {
  if (!CheckAnsiTexts(this, {{QStringLiteral("The description"), CoverDescription}}))
    return;
  if (Store && !appwidgets::StoreOrExplain(Store, QStringLiteral("cover template"),
                                           QStringLiteral("Accept"), this))
    return;
  done(1);
}

void TCoverEditor::done(int result) {
  if (!m_placementSaved) {
    appwidgets::SavePlacement(this);
    m_placementSaved = true;
  }
  QDialog::done(result);
}

} // namespace compose
