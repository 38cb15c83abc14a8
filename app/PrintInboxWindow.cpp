// What the main window does with printed faxes (see PrintInbox.h): lists and
// selects each, opens its send dialog, and tells of refused jobs.

#include "app/FaxListPane.h"
#include "app/PrintInbox.h"
#include "app/ReceiveNotices.h"
#include "app/TMainScreen.h"
#include "send/TSendFaxForm.h"
#include "core/FaxTables.h"
#include "core/Settings.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>

namespace app {

namespace {

// Presses Send in the next send dialog once it has taken its fields, so that
// a printed fax with a number goes out without waiting for the user.
class SendWhenShown : public QObject {
public:
  explicit SendWhenShown(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show)
      return false;
    auto* form = qobject_cast<TSendFaxForm*>(watched);
    if (!form)
      return false;
    qApp->removeEventFilter(this);
    // The dialog fills its number in a moment posted by its own show, which
    // comes after this one: the press waits one more turn.
    QTimer::singleShot(0, form, [form] {
      QTimer::singleShot(0, form, [form] {
        if (!form->Busy())
          form->SendFaxButtonClick();
      });
    });
    return false;
  }
};

void ShowPrintedFax(TMainScreen& window, long recNo, const QString& number) {
  auto* sent = window.findChild<FaxListPane*>(QStringLiteral("Sent"));
  if (!window.TablesOpen() || !sent)
    return;
  window.SetCurrentPage(0);
  // The table is opened again so that the list reads the new record, as
  // after any record the window adds.
  if (!sent->CloseAndOpen(OpenFaxDBF)) {
    window.SetStatusText(QStringLiteral("Unable to open the table again: ") +
                         QString::fromStdString(window.FaxTable().path()));
    return;
  }
  // SetButtons may choose the list's order and read the rows again: the
  // selection is made afterwards.
  window.SetButtons();
  sent->SelectRecord(recNo);
  // While receive mode holds the modem the fax waits in the list.
  if (window.Receiving()) {
    window.SetStatusText(QStringLiteral("A printed fax is in the Sent list; send it when "
                                        "receive mode is off."));
    return;
  }
  SendWhenShown* sendAtOnce = nullptr;
  if (Settings.SendPrintedAtOnce && !number.isEmpty())
    sendAtOnce = new SendWhenShown(&window);
  window.SendButtonClick();
  delete sendAtOnce; // also when no dialog came (the file could not be built)
}

} // namespace

void ConnectPrintInbox(TMainScreen& window) {
  auto* inbox = new PrintInbox(window.FaxTable(), &window);
  inbox->setObjectName(QStringLiteral("PrintInbox"));
  QObject::connect(inbox, &PrintInbox::FaxStored, &window,
                   [&window](long recNo, const QString& number) {
                     ShowPrintedFax(window, recNo, number);
                   });
  QObject::connect(inbox, &PrintInbox::JobRefused, &window,
                   [&window](const QString& title, const QString& reason) {
                     const QString text =
                         QStringLiteral("\"%1\" was printed to fax but gives no fax: %2")
                             .arg(title, reason);
                     window.SetStatusText(text);
                     NotifyDesktop(QStringLiteral("Printed fax not kept"), text);
                   });
  QObject::connect(inbox, &PrintInbox::JobWaiting, &window,
                   [&window](const QString& title, const QString& reason) {
                     window.SetStatusText(
                         QStringLiteral("The printed fax \"%1\": %2")
                             .arg(title, reason));
                   });
}

} // namespace app
