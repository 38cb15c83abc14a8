#include "send/TFxFaxStatus.h"

#include "send/TStandardFaxDisplay.h"

#include <QGuiApplication>
#include <QScreen>

TFxFaxStatus::TFxFaxStatus(QWidget* owner) : m_owner(owner) {
  CreateDisplay();
}

TFxFaxStatus::~TFxFaxStatus() {
  DestroyDisplay();
}

void TFxFaxStatus::CreateDisplay() {
  m_display = new TStandardFaxDisplay(m_owner);
  m_display->SetFax(Fax);
}

void TFxFaxStatus::DestroyDisplay() {
  delete m_display.data();
}

void TFxFaxStatus::UpdateDisplay(bool first, bool last) {
  if (!m_display)
    return;
  if (first) {
    m_display->SetFax(Fax);
    m_display->adjustSize();
    if (Position() == poScreenCenter) {
      if (QScreen* screen = QGuiApplication::primaryScreen())
        m_display->move(screen->availableGeometry().center() - m_display->rect().center());
    }
    m_display->show();
  }
  if (last) {
    m_display->hide();
    return;
  }
  m_display->UpdateValues();
}
