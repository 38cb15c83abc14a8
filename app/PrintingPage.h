#pragma once
// The preferences page about faxes printed from other programs through the
// printing system's fax queue.

#include <QWidget>

class QCheckBox;

namespace app {

struct TSettings;

class PrintingPage : public QWidget {
  Q_OBJECT

public:
  // Shows the settings' choices.
  PrintingPage(const TSettings& settings, QWidget* parent);
  // The page's choices into the settings.
  void TakeBack(TSettings& settings) const;

private:
  QCheckBox* m_sendAtOnce = nullptr;
};

} // namespace app
