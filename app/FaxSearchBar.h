#pragma once
// The search field above the lists: what is typed filters both lists to the
// faxes holding every word, in the text read from the fax (received faxes,
// and sent faxes, through the search index) or in its subject, recipient, number, remote ID
// or notes. Each word matches the start of a word of the text and any part
// of a field; a number matches whatever the field's punctuation.

#include <QWidget>

#include <functional>
#include <unordered_set>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QTimer;

namespace xbase {
class Table;
}

namespace faxview {
struct WordMark;
}

namespace app {

class FaxArchiveService;
class FaxTableModel;

class FaxSearchBar final : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY(FaxSearchBar)

public:
  // Typing is applied this long after the last key.
  static constexpr int TypingPauseMs = 250;

  FaxSearchBar(FaxArchiveService& archive, FaxTableModel& sent, FaxTableModel& received,
               QWidget* parent = nullptr);

  QLineEdit* Edit() const { return m_edit; }
  // The words in effect (lower case); empty when the lists are not filtered.
  const std::vector<QString>& Words() const { return m_words; }
  // Filters the lists by the field's text now.
  void Apply();
  // Where the words in effect stand in a fax (its name in the index: the
  // received file's name, or a sent fax's SentFaxName), for the viewer.
  std::vector<faxview::WordMark> MarksIn(const std::string& indexName) const;
  // The same for the current record of the Sent table.
  std::vector<faxview::WordMark> MarksInSent(const xbase::Table& sent) const;

private:
  std::function<bool(const xbase::Table&)> SentFilter() const;
  std::function<bool(const xbase::Table&)> ReceivedFilter() const;
  void ShowCount();

  FaxArchiveService& m_archive;
  FaxTableModel& m_sent;
  FaxTableModel& m_received;
  QLineEdit* m_edit = nullptr;
  QLabel* m_count = nullptr;
  QTimer* m_typing = nullptr;
  std::vector<QString> m_words;
  // Per word, the received fax files whose text holds it, and the keys of
  // the sent faxes whose text holds it.
  std::vector<std::unordered_set<std::string>> m_textMatches;
  std::vector<std::unordered_set<std::string>> m_sentMatches;
};

} // namespace app
