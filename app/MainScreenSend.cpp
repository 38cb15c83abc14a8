// The main window's Send command. The send dialog's owner replaces this file
// with the real command; until the dialog exists the command says so.

#include "app/TMainScreen.h"
#include "app/widgets/MessageBoxes.h"

#include <QApplication>

void TMainScreen::SendButtonClick() {
  if (!SelectCurrentSent()) {
    QApplication::beep();
    return;
  }
  appwidgets::ShowInfo(QStringLiteral("Sending faxes is not available yet in this build."), this);
  SetButtons();
}
