#pragma once
// The spelling check of a fax document or cover sheet: walks the editor's
// words from the start, stops at each word no dictionary knows, offers
// suggestions and lets the user replace the word, skip it or add it to the
// user dictionary (ProgramDir + "tovu.dct", created when missing).

#include "spell/TAcropSpell.h"

#include <QDialog>
#include <QHash>
#include <QSet>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace appwidgets {
class HintRedirect;
}
namespace richtext {
class TRichEditor;
}

class TSpellCheckDialog : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TSpellCheckDialog)
public:
  explicit TSpellCheckDialog(richtext::TRichEditor& editor, QWidget* parent = nullptr);
  ~TSpellCheckDialog() override;

  // True once the check has walked to the end of the text.
  bool Completed() const { return m_completed; }
  spell::TAcropSpell& AcropSpell1() { return m_spell; }
  int UserDictionaryHandle() const { return m_userHandle; }

  void FormCreate();
  void FormActivate();
  void FormClose();
  void FormDestroy();
  void ReplaceClick();
  void ReplaceAllClick();
  void GetNextWordButtonClick();
  void SkipAllButtonClick();
  void AddbuttonClick();
  void CancelbuttonClick();
  void WordListDblClick();
  void CheckNextWord();
  // Closes the dialog after "Spell check complete" was shown.
  Q_INVOKABLE void CloseRequestMessage();

  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void buildLayout();
  QPushButton* addButton(const char* name, const QString& caption, const QString& hint);
  bool isKnown(const QString& word);
  QStringList suggestionsFor(const QString& word);
  void finishCheck();

  richtext::TRichEditor& m_editor;
  spell::TAcropSpell m_spell;
  int m_userHandle = -1;
  bool m_firstActivation = true;
  bool m_completed = false;
  bool m_closed = false;
  QSet<QString> m_skipAll;              // in capitals
  QHash<QString, QString> m_replaceAll; // word as written -> replacement
  std::unique_ptr<appwidgets::HintRedirect> m_hints;

  QLineEdit* Word = nullptr;
  QLineEdit* ReplaceAs = nullptr;
  QListWidget* WordList = nullptr;
  QPushButton* Replace = nullptr;
  QPushButton* ReplaceAllButton = nullptr;
  QPushButton* GetNextWordButton = nullptr;
  QPushButton* SkipAllButton = nullptr;
  QPushButton* Addbutton = nullptr;
  QPushButton* Cancelbutton = nullptr;
  QLabel* status = nullptr;
};

namespace compose {

// What the fax editor and the cover editor call for their spelling check:
// the dialog over the editor, centred, shown modally and freed. True when
// the check reached the end of the text, false when it was cancelled.
bool RunSpellCheck(QWidget* parent, richtext::TRichEditor& editor);

} // namespace compose
