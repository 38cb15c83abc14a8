#include "compose/TSpellCheckDialog.h"

#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "spell/DictionaryLocation.h"
#include "spell/WordList.h"
#include "platform/ProgramDir.h"
#include "richtext/Ansi.h"
#include "richtext/RichEditor.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The word as the dictionaries take it: Windows-1252, a typographic
// apostrophe as a plain one. Nothing when a character has no code there.
std::optional<std::string> dictionaryWord(const QString& word) {
  std::string out;
  for (QChar c : word) {
    if (c == QChar(0x2019))
      c = QLatin1Char('\'');
    const int b = richtext::unicodeToAnsi(c);
    if (b < 0)
      return std::nullopt;
    out += static_cast<char>(b);
  }
  return out;
}

QString fromAnsi(const std::string& bytes) {
  QString out;
  for (char c : bytes)
    out += richtext::ansiToUnicode(static_cast<unsigned char>(c));
  return out;
}

QLabel* caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

} // namespace

TSpellCheckDialog::TSpellCheckDialog(richtext::TRichEditor& editor, QWidget* parent)
    : QDialog(parent), m_editor(editor) {
  setObjectName("TSpellCheckDialog");
  setWindowTitle("Spell Check");
  buildLayout();
  FormCreate();
}

TSpellCheckDialog::~TSpellCheckDialog() {
  FormClose();
  FormDestroy();
}

QPushButton* TSpellCheckDialog::addButton(const char* name, const QString& caption,
                                          const QString& hint) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(name);
  b->setStatusTip(hint);
  b->setToolTip(hint);
  b->setAutoDefault(false);
  return b;
}

void TSpellCheckDialog::buildLayout() {
  Word = new QLineEdit(this);
  Word->setObjectName("Word");
  Word->setStatusTip("The spell checker does not have this word in its dictionary");
  ReplaceAs = new QLineEdit(this);
  ReplaceAs->setObjectName("ReplaceAs");
  ReplaceAs->setStatusTip(
      "The spelling error will be replaced with this word if you click Replace");
  WordList = new QListWidget(this);
  WordList->setObjectName("WordList");
  WordList->setStatusTip(
      "Click one of these suggested replacements to move it into the Replace With box");
  for (QWidget* w : {static_cast<QWidget*>(Word), static_cast<QWidget*>(ReplaceAs),
                     static_cast<QWidget*>(WordList)})
    w->setToolTip(w->statusTip());

  Replace = addButton("Replace", "Replace ", "Replace the word");
  Replace->setDefault(true);
  ReplaceAllButton = addButton("ReplaceAllButton", "Replace A&ll",
                               "Replace the word here and wherever it comes again");
  GetNextWordButton = addButton("GetNextWordButton", "&Skip Word", "Skip the word");
  SkipAllButton =
      addButton("SkipAllButton", "S&kip All", "Skip the word here and wherever it comes again");
  Addbutton = addButton("Addbutton", "&Add Word", "Add the word to the user dictionary");
  Cancelbutton = addButton("Cancelbutton", "Cancel", "Cancel the spell check");
  status = new QLabel(this);
  status->setObjectName("status");
  status->setFrameShape(QFrame::StyledPanel);
  status->setMinimumHeight(status->fontMetrics().height() + 6);

  auto* fields = new QVBoxLayout;
  fields->addWidget(caption("Possible spelling error", Word, this));
  fields->addWidget(Word);
  fields->addWidget(caption("Replace with", ReplaceAs, this));
  fields->addWidget(ReplaceAs);
  fields->addWidget(caption("Possible replacements", WordList, this));
  fields->addWidget(WordList, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addSpacing(Word->sizeHint().height());
  for (QPushButton* b : {Replace, ReplaceAllButton, GetNextWordButton, SkipAllButton, Addbutton})
    buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(Cancelbutton);
  auto* top = new QHBoxLayout;
  top->addLayout(fields, 1);
  top->addLayout(buttons);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top, 1);
  outer->addWidget(status);
  resize(440, 320);

  connect(Replace, &QPushButton::clicked, this, [this] { ReplaceClick(); });
  connect(ReplaceAllButton, &QPushButton::clicked, this, [this] { ReplaceAllClick(); });
  connect(GetNextWordButton, &QPushButton::clicked, this, [this] { GetNextWordButtonClick(); });
  connect(SkipAllButton, &QPushButton::clicked, this, [this] { SkipAllButtonClick(); });
  connect(Addbutton, &QPushButton::clicked, this, [this] { AddbuttonClick(); });
  connect(Cancelbutton, &QPushButton::clicked, this, [this] { CancelbuttonClick(); });
  connect(WordList, &QListWidget::itemClicked, this, [this] { WordListDblClick(); });
  connect(WordList, &QListWidget::itemDoubleClicked, this, [this] { WordListDblClick(); });
}

void TSpellCheckDialog::FormCreate() {
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
  const std::string dir = platform::ProgramDir();
  m_spell.OpenMainDictionary(spell::FindMainDictionary(dir));
  const std::string user = dir + spell::kUserDictionaryFile;
  m_userHandle = QFileInfo::exists(QString::fromStdString(user))
                     ? m_spell.OpenUserDictionary(user)
                     : m_spell.CreateUserDictionary(user, {});
  Addbutton->setEnabled(m_userHandle != -1);
  m_firstActivation = true;
}

void TSpellCheckDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_firstActivation) {
    m_firstActivation = false;
    // The walk starts once the window is up, so the user sees it.
    QTimer::singleShot(0, this, [this] { FormActivate(); });
  }
}

void TSpellCheckDialog::FormActivate() {
  m_editor.StartWordIteration();
  CheckNextWord();
}

bool TSpellCheckDialog::isKnown(const QString& word) {
  const std::optional<std::string> w = dictionaryWord(word);
  return w && m_spell.IsWordKnown(*w);
}

QStringList TSpellCheckDialog::suggestionsFor(const QString& word) {
  QStringList out;
  if (const std::optional<std::string> w = dictionaryWord(word))
    for (const std::string& s : m_spell.Suggest(*w))
      out << fromAnsi(s);
  return out;
}

void TSpellCheckDialog::CheckNextWord() {
  for (;;) {
    const QString word = m_editor.NextWord();
    if (word.isEmpty())
      break;
    if (m_skipAll.contains(word.toUpper()))
      continue;
    if (const auto again = m_replaceAll.constFind(word); again != m_replaceAll.constEnd()) {
      m_editor.MarkCurrentWord();
      m_editor.ReplaceMarkedWord(*again);
      continue;
    }
    if (isKnown(word))
      continue;
    m_editor.MarkCurrentWord();
    const QStringList suggestions = suggestionsFor(word);
    WordList->clear();
    WordList->addItems(suggestions);
    Word->setText(word);
    ReplaceAs->setText(suggestions.isEmpty() ? word : suggestions.first());
    ReplaceAs->setFocus();
    ReplaceAs->selectAll();
    return;
  }
  finishCheck();
}

void TSpellCheckDialog::finishCheck() {
  WordList->clear();
  Word->clear();
  ReplaceAs->clear();
  m_completed = true;
  QWidget* owner = parentWidget();
  hide();
  appwidgets::ShowInfo("Spell check complete", owner);
  QMetaObject::invokeMethod(this, "CloseRequestMessage", Qt::QueuedConnection);
}

void TSpellCheckDialog::CloseRequestMessage() {
  done(2);
}

void TSpellCheckDialog::ReplaceClick() {
  m_editor.ReplaceMarkedWord(ReplaceAs->text());
  CheckNextWord();
  m_editor.Repaint();
}

void TSpellCheckDialog::ReplaceAllClick() {
  if (!Word->text().isEmpty())
    m_replaceAll.insert(Word->text(), ReplaceAs->text());
  ReplaceClick();
}

void TSpellCheckDialog::GetNextWordButtonClick() {
  CheckNextWord();
}

void TSpellCheckDialog::SkipAllButtonClick() {
  if (!Word->text().isEmpty())
    m_skipAll.insert(Word->text().toUpper());
  CheckNextWord();
}

void TSpellCheckDialog::AddbuttonClick() {
  // A word that cannot be added (too long, a full dictionary) is left out
  // and the check goes on.
  if (const std::optional<std::string> w = dictionaryWord(Word->text()); w && !w->empty())
    m_spell.AddUserWord(*w, m_userHandle);
  CheckNextWord();
}

void TSpellCheckDialog::CancelbuttonClick() {
  done(2);
}

void TSpellCheckDialog::WordListDblClick() {
  if (QListWidgetItem* item = WordList->currentItem())
    ReplaceAs->setText(item->text());
}

void TSpellCheckDialog::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TSpellCheckDialog::FormClose() {
  if (m_closed)
    return;
  m_closed = true;
  m_editor.ClearWordMarking();
  m_spell.CloseDictionaries();
}

void TSpellCheckDialog::FormDestroy() {
  m_hints.reset(); // the hint line goes back to where it was
}

namespace compose {

bool RunSpellCheck(QWidget* parent, richtext::TRichEditor& editor) {
  TSpellCheckDialog dialog(editor, parent);
  appwidgets::CenterForm(&dialog);
  dialog.exec();
  return dialog.Completed();
}

} // namespace compose
