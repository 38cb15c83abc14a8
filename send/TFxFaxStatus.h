#pragma once
// The status component of a fax component: owns the status window and
// passes every status event to it.

#include "faxengine/TFxAbstractFaxStatus.h"

#include <QPointer>

class QWidget;
#include "send/TStandardFaxDisplay.h"

class TFxFaxStatus : public TFxAbstractFaxStatus {
public:
  // The status window is a child window of `owner` (so it stays usable
  // while the owner is shown modally).
  explicit TFxFaxStatus(QWidget* owner);
  ~TFxFaxStatus() override;

  void UpdateDisplay(bool first, bool last) override;
  TStandardFaxDisplay* Display() const { return m_display; }

protected:
  void CreateDisplay() override;
  void DestroyDisplay() override;

private:
  QWidget* m_owner;
  QPointer<TStandardFaxDisplay> m_display;
};
