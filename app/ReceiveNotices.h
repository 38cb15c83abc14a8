#pragma once
// What the user notices of a received fax besides the list: the configured
// sound and a desktop notification.

#include <QString>

class QObject;

namespace app {

// Plays the WAV file once without waiting for its end; nothing happens when
// the name is empty or names no file. Returns the playing sound (it ends
// itself), or null.
QObject* PlayFaxSound(const QString& wavFile, QObject* owner);

// A desktop notification through the freedesktop notification service on
// the session bus. Without a session bus or service nothing happens.
void NotifyFaxReceived(const QString& from, int pages);

// Any other desktop notification from the program, the same way.
void NotifyDesktop(const QString& summary, const QString& body);

// The text of the notification ("2 pages from DEMO FAX").
QString FaxReceivedText(const QString& from, int pages);

// True when the module that plays and notifies was found.
bool NoticesAvailable();

} // namespace app
