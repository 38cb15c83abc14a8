#pragma once
// The about window.

#include <QDialog>

class TSplashform : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TSplashform)

public:
  explicit TSplashform(QWidget* parent = nullptr);
};
