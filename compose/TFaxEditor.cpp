#include "compose/TFaxEditor.h"

#include "widgets/MessageBoxes.h"
#include "widgets/SaveFailure.h"

#include "core/FaxTables.h"
#include "compose/EditorRequests.h"
#include "widgets/FormParts.h"
#include "compose/RichTextMemo.h"
#include "widgets/HelpAndBeep.h"
#include "compose/TCoverBrowse.h"
#include "compose/TPhoneBook.h"
#include "richtext/RichEditor.h"
#include "richtext/RichToolBar.h"
#include "xbase/Table.h"

#include <QButtonGroup>
#include <QDate>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

namespace compose {

namespace {

// The system's long time format without the time zone, which a cover sheet
// does not show.
QString longTime(const QTime& time) {
  QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
  return QLocale::system().toString(time, format.trimmed());
}

} // namespace

TFaxEditor::TFaxEditor(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Fax Editor"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMaximizeButtonHint);
  buildButtonPanel();
  Notebook = new QStackedWidget(this);
  Notebook->setObjectName(QStringLiteral("Notebook"));
  Notebook->addWidget(buildEditorPage(RichCover, RichToolCover, QStringLiteral("RichCover"),
                                      QStringLiteral("RichToolCover")));
  Notebook->addWidget(buildEditorPage(RichDoc, RichToolDoc, QStringLiteral("RichDoc"),
                                      QStringLiteral("RichToolDoc")));
  Notebook->addWidget(buildRecipientPage());
  status = MakeStatusLabel(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ButtonPanel);
  layout->addWidget(Notebook, 1);
  layout->addWidget(status);
  buildToolButtons();
  connectControls();
  ShowPage(RecipientPage);
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
  resize(1140, 680);
  appwidgets::RestorePlacement(this);
}

TFaxEditor::~TFaxEditor() = default;

void TFaxEditor::buildButtonPanel() {
  ButtonPanel = new QWidget(this);
  ButtonPanel->setObjectName(QStringLiteral("ButtonPanel"));
  ButtonPanel->setFixedHeight(45);
  Helpbutton =
      MakeButton(QStringLiteral("Helpbutton"), QStringLiteral("&Help"), QString(), ButtonPanel);
  RecipientButton = MakeButton(QStringLiteral("RecipientButton"), QStringLiteral("&Recipient Info"),
                               QString(), ButtonPanel);
  DocumentButton = MakeButton(QStringLiteral("DocumentButton"), QStringLiteral("&Fax Document"),
                              QString(), ButtonPanel);
  CoverButton = MakeButton(QStringLiteral("CoverButton"), QStringLiteral("&Cover Sheet"), QString(),
                           ButtonPanel);
  auto* group = new QButtonGroup(ButtonPanel); // group 7: one page button is down
  for (QPushButton* b : {RecipientButton, DocumentButton, CoverButton}) {
    b->setCheckable(true);
    group->addButton(b);
  }
  RecipientButton->setChecked(true);
  Zoombutton = MakeButton(QStringLiteral("Zoombutton"), ZoomCaption(100), QString(), ButtonPanel);
  Zoombutton->hide();
  ZoomMenu = MakeZoomMenu(this);
  OKButton =
      MakeButton(QStringLiteral("OKButton"), QStringLiteral("&Accept"), QString(), ButtonPanel);
  OKButton->setDefault(true);
  CancelButton =
      MakeButton(QStringLiteral("CancelButton"), QStringLiteral("Cance&l"), QString(), ButtonPanel);
  auto* row = new QHBoxLayout(ButtonPanel);
  row->setContentsMargins(4, 4, 4, 4);
  for (QPushButton* b : {Helpbutton, RecipientButton, DocumentButton, CoverButton, Zoombutton})
    row->addWidget(b);
  row->addStretch();
  row->addWidget(OKButton);
  row->addWidget(CancelButton);
}

QWidget* TFaxEditor::buildRecipientPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("Recipient"));
  Recipient = new TEnterEdit(QStringLiteral("Recipient"), 35,
                             QStringLiteral("Enter recipient name here"), page);
  FaxNumber = new TEnterEdit(QStringLiteral("FaxNumber"), 25,
                             QStringLiteral("Enter recipient fax number here"), page);
  Subject = new TEnterEdit(QStringLiteral("Subject"), 50,
                           QStringLiteral("Enter subject (topic) of fax here"), page);
  AddressButton =
      MakeButton(QStringLiteral("AddressButton"), QStringLiteral("&Phonebook"), QString(), page);
  const int charWidth = Recipient->fontMetrics().averageCharWidth();
  Recipient->setFixedWidth(charWidth * 38);
  FaxNumber->setFixedWidth(charWidth * 28);
  Subject->setFixedWidth(charWidth * 53);
  auto* form = new QFormLayout;
  auto* name = new QHBoxLayout;
  name->addWidget(Recipient);
  name->addWidget(AddressButton);
  name->addStretch();
  form->addRow(QStringLiteral("Recipient"), name);
  form->addRow(QStringLiteral("Fax Number"), FaxNumber);
  form->addRow(QStringLiteral("Subject"), Subject);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->addLayout(form);
  layout->addStretch();
  return page;
}

QWidget* TFaxEditor::buildEditorPage(richtext::TRichEditor*& editor,
                                     richtext::TRichToolBar*& toolBar, const QString& editorName,
                                     const QString& toolBarName) {
  auto* page = new QWidget(this);
  editor = new richtext::TRichEditor(page);
  editor->setObjectName(editorName);
  toolBar = new richtext::TRichToolBar(editor, page);
  toolBar->setObjectName(toolBarName);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(toolBar);
  layout->addWidget(editor, 1);
  return page;
}

void TFaxEditor::buildToolButtons() {
  DocButtons =
      AddEditorButtons(RichToolDoc, QStringLiteral("DocPageBreakButton"),
                       QStringLiteral("ParagraphSetupButton"), QStringLiteral("DocWordWrapButton"));
  CoverButtons = AddEditorButtons(RichToolCover, QStringLiteral("CoverDocPageBreakButton"),
                                  QStringLiteral("CoverParagraphSetupbutton"),
                                  QStringLiteral("CoverDocWordWrapButton"));
  LoadCoverButton =
      AddToolButton(RichToolCover, QStringLiteral("LoadCoverButton"), QStringLiteral("Template"),
                    QStringLiteral("Load Cover Sheet from Template"));
  // First among the cover's extra buttons: it is what the cover page is
  // mostly used for.
  RichToolCover->removeAction(LoadCoverButton);
  RichToolCover->insertAction(CoverButtons.PageBreak, LoadCoverButton);
  if (QWidget* button = RichToolCover->widgetForAction(LoadCoverButton))
    button->setObjectName(LoadCoverButton->objectName());
  // Pictures and pages of other files, where the program can read them.
  for (auto [bar, editor, name] :
       {std::tuple{RichToolDoc, RichDoc, QStringLiteral("DocInsertButton")},
        std::tuple{RichToolCover, RichCover, QStringLiteral("CoverInsertButton")}}) {
    auto* menu = new QMenu(this);
    AddPictureItems(menu, *editor, this);
    if (menu->isEmpty())
      continue;
    QAction* insert = AddToolButton(bar, name, QStringLiteral("Insert"),
                                    QStringLiteral("Insert a picture or the pages of a file"));
    insert->setMenu(menu);
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(insert)))
      button->setPopupMode(QToolButton::InstantPopup);
  }
  // Both wrap buttons start with the hint "Toggle word wrap on" and show
  // the state of their editor.
  ShowWordWrap(*RichDoc, DocButtons.WordWrap);
  ShowWordWrap(*RichCover, CoverButtons.WordWrap);
}

void TFaxEditor::connectControls() {
  connect(Helpbutton, &QPushButton::clicked, this, [] { appwidgets::ShowHelpContext(1015); });
  connect(RecipientButton, &QPushButton::clicked, this, [this] { ShowPage(RecipientPage); });
  connect(DocumentButton, &QPushButton::clicked, this, [this] { ShowPage(DocumentPage); });
  connect(CoverButton, &QPushButton::clicked, this, [this] { ShowPage(CoverPage); });
  connect(Zoombutton, &QPushButton::clicked, this,
          [this] { appwidgets::PopupBelow(Zoombutton, ZoomMenu); });
  connect(ZoomMenu, &QMenu::aboutToShow, this,
          [this] { CheckZoomItem(ZoomMenu, editorInView()->Zoom()); });
  connect(ZoomMenu, &QMenu::triggered, this,
          [this](QAction* item) { SetZoom(item->data().toInt()); });
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(2); });
  connect(AddressButton, &QPushButton::clicked, this, [this] { AddressButtonClick(); });
  connect(LoadCoverButton, &QAction::triggered, this, [this] { LoadCoverButtonClick(); });
  connectEditor(RichDoc, RichToolDoc, DocButtons);
  connectEditor(RichCover, RichToolCover, CoverButtons);
  RichCover->OnGetTextToInsert = [this](int tag) { return RichCoverGetTextToInsert(tag); };
  // A fax's cover holds filled fields only: they show as plain text here,
  // also when a stored fax is opened again.
  RichCover->SetHideFieldMarkers(true);
}

void TFaxEditor::connectEditor(richtext::TRichEditor* editor, richtext::TRichToolBar* bar,
                               const TEditorButtons& buttons) {
  connect(buttons.PageBreak, &QAction::triggered, this,
          [this, editor] { AskPageBreak(*editor, this); });
  connect(buttons.WordWrap, &QAction::triggered, this,
          [editor, wrap = buttons.WordWrap] { ToggleWordWrap(*editor, wrap); });
  connect(buttons.Paragraph, &QAction::triggered, this,
          [this, editor] { EditParagraph(*editor, this); });
  // The toolbar's spelling button already raises the editor's request.
  connect(editor, &richtext::TRichEditor::StartSpellCheck, this,
          [this, editor] { StartSpellCheck(this, *editor); });
}

richtext::TRichEditor* TFaxEditor::editorInView() const {
  return DocumentButton->isChecked() ? RichDoc : RichCover;
}

void TFaxEditor::ShowPage(Page page) {
  Notebook->setCurrentIndex(page);
  RecipientButton->setChecked(page == RecipientPage);
  DocumentButton->setChecked(page == DocumentPage);
  CoverButton->setChecked(page == CoverPage);
  // The page shown takes the keyboard, so that typing goes into it and
  // Return never reaches the default Accept button of an untouched window.
  if (page == RecipientPage) {
    Zoombutton->hide();
    Recipient->setFocus();
    return;
  }
  Zoombutton->setText(ZoomCaption(editorInView()->Zoom()));
  Zoombutton->show();
  editorInView()->setFocus();
}

void TFaxEditor::SetZoom(int zoom) {
  editorInView()->SetZoom(zoom);
  Zoombutton->setText(ZoomCaption(zoom));
}

std::optional<QString> TFaxEditor::RichCoverGetTextToInsert(int tag) {
  QString text;
  switch (tag) {
  case 1:
    text = Recipient->text();
    break;
  case 2:
    text = FaxNumber->text();
    break;
  case 3:
    text = Subject->text();
    break;
  case 4:
    text = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    break;
  case 5:
    text = longTime(QTime::currentTime());
    break;
  default:
    return std::nullopt;
  }
  m_mergeBuffer = text.left(100);
  return m_mergeBuffer;
}

void TFaxEditor::LoadCoverButtonClick() {
  xbase::Table cover;
  try {
    if (!app::OpenCoverDBF(cover))
      return;
  } catch (const std::exception&) {
    return;
  }
  {
    TCoverBrowse browse(cover, this);
    appwidgets::CenterForm(&browse);
    browse.SetChoosingMode(true);
    if (browse.exec() == 1) {
      try {
        LoadRichText(*RichCover, cover, "COVER");
      } catch (const std::exception& e) {
        appwidgets::ShowError(QString::fromLocal8Bit(e.what()), this);
        cover.close();
        return;
      }
      RichCover->Reformat();
      RichCover->FillMergeFields();
      RichCover->SetHideFieldMarkers(true);
    }
  }
  cover.close();
}

void TFaxEditor::AddressButtonClick() {
  TPhoneBook book(this);
  bool opened = false;
  try {
    opened = app::OpenPhoneDBF(book.PhoneTable);
  } catch (const std::exception&) {
    opened = false;
  }
  if (!opened)
    return;
  appwidgets::CenterForm(&book);
  book.SetChoosingMode(true);
  if (book.exec() == 1) {
    Recipient->setText(book.ChosenName());
    FaxNumber->setText(book.ChosenNumber());
  }
}

void TFaxEditor::OKButtonClick() {
  if (!CheckAnsiTexts(this, {{QStringLiteral("The recipient"), Recipient},
                             {QStringLiteral("The fax number"), FaxNumber},
                             {QStringLiteral("The subject"), Subject}})) {
    ShowPage(RecipientPage);
    return;
  }
  if (Store &&
      !appwidgets::StoreOrExplain(Store, QStringLiteral("fax"), QStringLiteral("Accept"), this))
    return;
  done(1);
}

void TFaxEditor::showEvent(QShowEvent* event) {
  RichCover->SetPageLayout(richtext::TPageLayout{});
  RichDoc->SetPageLayout(richtext::TPageLayout{});
  RichCover->Repaint();
  RichDoc->Repaint();
  QDialog::showEvent(event);
}

void TFaxEditor::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // The first activation opens the Recipient page with both texts laid out
  // and their carets at the start. Later activations (one of the editor's
  // own dialogs closing, the user coming back from another program) keep
  // the page and the caret the user was working at.
  if (event->type() != QEvent::ActivationChange || !isActiveWindow() || m_activated)
    return;
  m_activated = true;
  ShowPage(RecipientPage);
  for (richtext::TRichEditor* editor : {RichCover, RichDoc}) {
    editor->Reformat();
    editor->CaretToStart();
  }
}

void TFaxEditor::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  RichDoc->Repaint();
}

void TFaxEditor::done(int result) {
  if (!m_placementSaved) {
    appwidgets::SavePlacement(this);
    m_placementSaved = true;
  }
  QDialog::done(result);
}

} // namespace compose
