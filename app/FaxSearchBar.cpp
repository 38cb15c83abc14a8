#include "app/FaxSearchBar.h"

#include "app/FaxArchiveService.h"
#include "app/FaxTableModel.h"
#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"
#include "archive/SentFaxes.h"
#include "archive/WordBoxes.h"
#include "core/SentFaxKey.h"
#include "faxview/WordMark.h"
#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <cctype>

namespace app {

namespace {

QString digitsOf(const QString& text) {
  QString digits;
  for (const QChar c : text)
    if (c.isDigit())
      digits += c;
  return digits;
}

bool allDigits(const QString& word) {
  return !word.isEmpty() && digitsOf(word).size() == word.size();
}

// True when the word is part of one of the fields; a number also matches a
// field that writes it with spaces, dashes or brackets.
bool inFields(const xbase::Table& table, std::initializer_list<const char*> fields,
              const QString& word) {
  for (const char* field : fields) {
    const QString text = appwidgets::FromAnsi(table.fieldString(field));
    if (text.contains(word, Qt::CaseInsensitive))
      return true;
    if (allDigits(word) && digitsOf(text).contains(word))
      return true;
  }
  return false;
}

// Fax file names compared without regard to case (a data folder copied
// from another system may spell them either way).
std::string upper(std::string name) {
  for (char& c : name)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

} // namespace

FaxSearchBar::FaxSearchBar(FaxArchiveService& archive, FaxTableModel& sent,
                           FaxTableModel& received, QWidget* parent)
    : QWidget(parent), m_archive(archive), m_sent(sent), m_received(received) {
  setObjectName(QStringLiteral("SearchBar"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  auto* label = new QLabel(QStringLiteral("&Find:"), this);
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("SearchEdit"));
  m_edit->setClearButtonEnabled(true);
  m_edit->setPlaceholderText(
      QStringLiteral("Words in the faxes' text, subject, remote ID, number or notes"));
  m_edit->setStatusTip(QStringLiteral("Show only the faxes that hold all these words"));
  label->setBuddy(m_edit);
  m_count = new QLabel(this);
  m_count->setObjectName(QStringLiteral("SearchCount"));
  row->addWidget(label);
  row->addWidget(m_edit, 1);
  row->addWidget(m_count);
  m_typing = new QTimer(this);
  m_typing->setSingleShot(true);
  m_typing->setInterval(TypingPauseMs);
  connect(m_edit, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
  connect(m_typing, &QTimer::timeout, this, &FaxSearchBar::Apply);
  // A fax read while the lists are filtered may now belong in them.
  connect(&m_archive, &FaxArchiveService::TextStored, this, [this] {
    if (!m_words.empty())
      m_typing->start();
  });
}

void FaxSearchBar::Apply() {
  m_words.clear();
  m_textMatches.clear();
  m_sentMatches.clear();
  for (const std::string& word : archive::TextWords(m_edit->text().toStdString()))
    m_words.push_back(QString::fromStdString(word).toLower());
  if (m_words.empty()) {
    m_sent.SetFilter({});
    m_received.SetFilter({});
    m_count->clear();
    return;
  }
  // Searching is a reason to read the faxes now rather than later.
  m_archive.StartReader();
  try {
    archive::ArchiveIndex index(FaxArchiveService::IndexPath());
    for (const QString& word : m_words) {
      std::unordered_set<std::string> received, sent;
      for (const std::string& name : index.NamesWithWord(word.toStdString())) {
        if (std::string key = archive::SentFaxKey(name); !key.empty())
          sent.insert(std::move(key));
        else
          received.insert(upper(name));
      }
      m_textMatches.push_back(std::move(received));
      m_sentMatches.push_back(std::move(sent));
    }
  } catch (const std::exception&) {
    // Without the index the fields are still searched; the reader makes
    // the index again.
    m_textMatches.assign(m_words.size(), {});
    m_sentMatches.assign(m_words.size(), {});
  }
  m_sent.SetFilter(SentFilter());
  m_received.SetFilter(ReceivedFilter());
  ShowCount();
}

std::function<bool(const xbase::Table&)> FaxSearchBar::SentFilter() const {
  return [words = m_words, text = m_sentMatches](const xbase::Table& t) {
    // The record's key reads its memos: made only for a word the fields
    // lack and some sent fax's text holds.
    std::string key;
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (inFields(t, {"SUBJECT", "RECIPIENT", "PHONE"}, words[i]))
        continue;
      if (text[i].empty())
        return false;
      if (key.empty())
        key = SentFaxKey(t);
      if (!text[i].count(key))
        return false;
    }
    return true;
  };
}

std::vector<faxview::WordMark> FaxSearchBar::MarksIn(const std::string& indexName) const {
  std::vector<faxview::WordMark> marks;
  if (m_words.empty())
    return marks;
  std::vector<std::string> words;
  for (const QString& w : m_words)
    words.push_back(w.toStdString());
  try {
    archive::ArchiveIndex index(FaxArchiveService::IndexPath());
    for (const archive::FoundWord& f : archive::MatchingWords(index.Words(indexName), words))
      marks.push_back({f.Page, QRect(f.Box.X, f.Box.Y, f.Box.Width, f.Box.Height),
                       QSize(f.PageWidth, f.PageHeight)});
  } catch (const std::exception&) {
    // No index, no marks: the fax is shown all the same.
  }
  return marks;
}

std::function<bool(const xbase::Table&)> FaxSearchBar::ReceivedFilter() const {
  return [words = m_words, text = m_textMatches](const xbase::Table& t) {
    const std::string file = upper(t.fieldString("FAXFILE"));
    for (std::size_t i = 0; i < words.size(); ++i)
      if (!text[i].count(file) && !inFields(t, {"FROM", "NOTES"}, words[i]))
        return false;
    return true;
  };
}

std::vector<faxview::WordMark> FaxSearchBar::MarksInSent(const xbase::Table& sent) const {
  return m_words.empty() ? std::vector<faxview::WordMark>()
                         : MarksIn(archive::SentFaxName(SentFaxKey(sent)));
}

void FaxSearchBar::ShowCount() {
  QString text = QStringLiteral("%1 sent, %2 received")
                     .arg(m_sent.rowCount())
                     .arg(m_received.rowCount());
  if (!m_archive.Problem().isEmpty()) {
    text += QStringLiteral(" (fax text not searched)");
    m_count->setToolTip(m_archive.Problem());
  }
  m_count->setText(text);
}

} // namespace app
