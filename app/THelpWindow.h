#pragma once
// The help window: one HTML topic per context number (1009 contents, 1026
// troubleshooting, ...), with links between topics.

#include <QDialog>

class QTextBrowser;

class THelpWindow : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(THelpWindow)

public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // Shows the topic in the one help window of the program (created on first
  // use, brought to the front afterwards). Unknown numbers show the contents.
  static THelpWindow* ShowTopic(int context, QWidget* parent);
  // The page of a context number, e.g. "qrc:/help/1009.html".
  static QUrl TopicUrl(int context);
  void ShowContext(int context);
  QTextBrowser* Browser() const { return m_browser; }

private:
  QTextBrowser* m_browser = nullptr;
};
