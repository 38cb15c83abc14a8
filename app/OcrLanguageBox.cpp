#include "app/OcrLanguageBox.h"

#include "archive/OcrLanguages.h"
#include "platform/ProgramDir.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>

namespace app {

namespace {

// "German (deu)": the engine names its languages by their three-letter
// codes, some with a script ("chi_sim"), which stay as they are.
QString languageTitle(const QString& code) {
  const QLocale::Language language =
      QLocale::codeToLanguage(code.section(QLatin1Char('_'), 0, 0), QLocale::ISO639Part2);
  if (language == QLocale::AnyLanguage || code.contains(QLatin1Char('_')))
    return code;
  return QStringLiteral("%1 (%2)").arg(QLocale::languageToString(language), code);
}

} // namespace

OcrLanguageBox::OcrLanguageBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Reading the faxes' text"), parent) {
  setObjectName(QStringLiteral("OcrLanguageBox"));
  auto* form = new QFormLayout(this);
  m_languages = new QComboBox(this);
  m_languages->setObjectName(QStringLiteral("OcrLanguage"));
  for (const std::string& code : archive::OcrLanguages()) {
    const QString c = QString::fromStdString(code);
    m_languages->addItem(languageTitle(c), c);
  }
  form->addRow(QStringLiteral("&Language of the faxes:"), m_languages);
  m_problem = new QLabel(this);
  m_problem->setObjectName(QStringLiteral("OcrLanguageProblem"));
  m_problem->setWordWrap(true);
  form->addRow(m_problem);

  const std::string wanted = archive::LoadOcrLanguage(platform::IniFileName());
  const archive::OcrLanguageChoice choice = archive::ChooseOcrLanguage(wanted);
  m_languages->setCurrentIndex(m_languages->findData(QString::fromStdString(choice.Language)));
  m_problem->setText(QString::fromLocal8Bit(choice.Problem.c_str()));
  m_problem->setVisible(!choice.Problem.empty());
  if (m_languages->count() == 0)
    m_languages->setEnabled(false);
}

QString OcrLanguageBox::Language() const {
  return m_languages->currentData().toString();
}

bool OcrLanguageBox::Store() const {
  const QString language = Language();
  // Nothing installed to choose from: the setting stays as it was.
  if (language.isEmpty())
    return true;
  return archive::SaveOcrLanguage(language.toStdString(), platform::IniFileName());
}

} // namespace app
