#pragma once
// What a window does when the user's work cannot be stored: it says why and
// stays open with the work, so that pressing its button again after the
// cause is removed stores it.

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace appwidgets {

// True when the reason names a full disk or an exhausted quota.
bool IsDiskFullReason(const QString& reason);

// The sentence shown for a failed store of `what` ("fax", "cover template";
// a name ending in "s" is taken as plural: "the preferences were"):
// on a full disk "The disk is full: the fax was not saved. Free some space
// and press Accept again."; otherwise the system's reason after "The fax was
// not saved: ".
QString SaveFailureText(const QString& what, const QString& button, const QString& reason);

// Runs store(); when it throws, shows SaveFailureText in an error box over
// window and returns false (the caller keeps its window open).
bool StoreOrExplain(const std::function<void()>& store, const QString& what, const QString& button,
                    QWidget* window);

} // namespace appwidgets
