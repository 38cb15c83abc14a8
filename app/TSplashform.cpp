#include "app/TSplashform.h"

#include "platform/ProgramDir.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TSplashform::TSplashform(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Splashform"));
  setWindowTitle(QStringLiteral("About Tolvane"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/tolvane/tolvane.svg")).pixmap(64, 64));
  auto* title = new QLabel(QStringLiteral("Tolvane"), this);
  title->setObjectName(QStringLiteral("Title"));
  QFont big = title->font();
  big.setPointSize(big.pointSize() + 8);
  big.setBold(true);
  title->setFont(big);
  auto* text = new QLabel(
      QStringLiteral("Version %1\n\nA fax program for a fax modem on a serial port:\n"
                     "write faxes with a cover sheet, send them, receive faxes,\n"
                     "view and print them.\n\nData folder: %2")
          .arg(QApplication::applicationVersion().isEmpty() ? QStringLiteral("0.1")
                                                            : QApplication::applicationVersion(),
               QString::fromStdString(platform::ProgramDir())),
      this);
  text->setObjectName(QStringLiteral("AboutText"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  auto* words = new QVBoxLayout;
  words->addWidget(title);
  words->addWidget(text);
  top->addLayout(words, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ok, 0, Qt::AlignRight);
}
