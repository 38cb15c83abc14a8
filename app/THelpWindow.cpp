#include "app/THelpWindow.h"

#include "widgets/WindowServices.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QPointer<THelpWindow> g_helpWindow;
}

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Tolvane Help"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  m_browser = new QTextBrowser(this);
  m_browser->setObjectName(QStringLiteral("HelpBrowser"));
  m_browser->setOpenExternalLinks(true);
  m_browser->setSearchPaths({QStringLiteral(":/help")});
  auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
  contents->setObjectName(QStringLiteral("ContentsButton"));
  auto* back = new QPushButton(QStringLiteral("&Back"), this);
  back->setObjectName(QStringLiteral("BackButton"));
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("CloseButton"));
  connect(contents, &QPushButton::clicked, this, [this] { ShowContext(1009); });
  connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
  connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  back->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(back);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(m_browser, 1);
  resize(560, 520);
}

QUrl THelpWindow::TopicUrl(int context) {
  const QString page = QStringLiteral(":/help/%1.html").arg(context);
  return QFile::exists(page) ? QUrl(QStringLiteral("qrc") + page)
                             : QUrl(QStringLiteral("qrc:/help/1009.html"));
}

void THelpWindow::ShowContext(int context) {
  m_browser->setSource(TopicUrl(context));
}

THelpWindow* THelpWindow::ShowTopic(int context, QWidget* parent) {
  if (!g_helpWindow) {
    g_helpWindow = new THelpWindow(parent);
    appwidgets::CenterForm(g_helpWindow);
  }
  g_helpWindow->ShowContext(context);
  g_helpWindow->show();
  g_helpWindow->raise();
  g_helpWindow->activateWindow();
  return g_helpWindow;
}
