#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <deque>

namespace appwidgets {

namespace {

struct HookState {
  std::deque<QMessageBox::StandardButton> answers;
  std::deque<QString> fileNames;
  QStringList texts;
  QString lastCaption;
  QMessageBox::StandardButton lastDefault = QMessageBox::NoButton;
  bool failWithoutAnswer = false;
};

HookState& hook() {
  static HookState state;
  return state;
}

QWidget* ownerFor(QWidget* parent) {
  if (parent)
    return parent;
  if (QWidget* modal = QApplication::activeModalWidget())
    return modal;
  return QApplication::activeWindow();
}

// Bare carriage returns in the design's texts are line breaks.
QString displayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QChar('\r'), QChar('\n'));
  return shown;
}

void failUnanswered(const QString& what) {
  std::fprintf(stderr, "No queued answer for: %s\n", qPrintable(what));
  std::abort();
}

} // namespace

QMessageBox::StandardButton AskButtons(QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton, QWidget* parent) {
  HookState& state = hook();
  state.texts.append(text);
  state.lastCaption = caption;
  state.lastDefault = defaultButton;
  if (!state.answers.empty()) {
    QMessageBox::StandardButton answer = state.answers.front();
    state.answers.pop_front();
    return answer;
  }
  if (state.failWithoutAnswer)
    failUnanswered(text);
  QMessageBox box(icon, caption, displayText(text), buttons, ownerFor(parent));
  box.setDefaultButton(defaultButton);
  box.setObjectName(QStringLiteral("MessageBox"));
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowInfo(const QString& text, QWidget* parent) {
  AskButtons(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
             QMessageBox::Ok, parent);
}

void ShowError(const QString& text, QWidget* parent) {
  AskButtons(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, QMessageBox::Ok,
             parent);
}

bool AskYesNo(const QString& text, const QString& caption, QWidget* parent) {
  return AskButtons(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::Yes, parent) == QMessageBox::Yes;
}

bool AskYesNoDefaultNo(const QString& text, const QString& caption, QWidget* parent) {
  return AskButtons(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No, parent) == QMessageBox::Yes;
}

namespace {

bool takeQueuedName(const QString& caption, QString* name) {
  HookState& state = hook();
  if (!state.fileNames.empty()) {
    *name = state.fileNames.front();
    state.fileNames.pop_front();
    return true;
  }
  if (state.failWithoutAnswer)
    failUnanswered(caption);
  return false;
}

} // namespace

QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter) {
  QString name;
  if (takeQueuedName(caption, &name))
    return name;
  return QFileDialog::getOpenFileName(ownerFor(parent), caption, dir, filter);
}

QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter, QWidget* extra) {
  QString name;
  if (takeQueuedName(caption, &name))
    return name;
  QFileDialog dialog(ownerFor(parent), caption, dir, filter);
  dialog.setObjectName(QStringLiteral("dlgOpenFile"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(extra, grid->rowCount(), 0, 1, std::max(1, grid->columnCount() - 1));
  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  extra->setParent(nullptr);
  return chosen ? dialog.selectedFiles().front() : QString();
}

QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter) {
  QString name;
  if (takeQueuedName(caption, &name))
    return name;
  return QFileDialog::getSaveFileName(ownerFor(parent), caption, dir, filter);
}

namespace MessageBoxHook {

void setNextAnswer(QMessageBox::StandardButton answer) {
  hook().answers.push_back(answer);
}
void setNextFileName(const QString& name) {
  hook().fileNames.push_back(name);
}
QStringList shownTexts() {
  return hook().texts;
}
QString lastText() {
  return hook().texts.isEmpty() ? QString() : hook().texts.last();
}
QString lastCaption() {
  return hook().lastCaption;
}
QMessageBox::StandardButton lastDefaultButton() {
  return hook().lastDefault;
}
void clear() {
  hook().lastCaption.clear();
  hook().lastDefault = QMessageBox::NoButton;
  hook().answers.clear();
  hook().fileNames.clear();
  hook().texts.clear();
}
void setFailWithoutAnswer(bool on) {
  hook().failWithoutAnswer = on;
}

} // namespace MessageBoxHook

} // namespace appwidgets
