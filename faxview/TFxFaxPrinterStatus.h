#pragma once
// The fax printer's progress window and the component that owns it.

#include <QDialog>
#include <QObject>
#include <QPointer>

class QLabel;
class QPushButton;

namespace faxview {

class TFxCustomFaxPrinter;

enum TStatusPosition { poDesigned, poScreenCenter };

class TFxAbstractFaxPrinterStatus : public QObject {
  Q_OBJECT
public:
  explicit TFxAbstractFaxPrinterStatus(QObject* owner = nullptr);
  Q_DISABLE_COPY(TFxAbstractFaxPrinterStatus)

  TStatusPosition Position() const { return m_position; }
  void SetPosition(TStatusPosition p);
  bool Ctl3D() const { return m_ctl3D; }
  void SetCtl3D(bool on) { m_ctl3D = on; }
  bool Visible() const { return m_visible; }
  void SetVisible(bool on);
  TFxCustomFaxPrinter* FaxPrinter() const { return m_printer; }
  void SetFaxPrinter(TFxCustomFaxPrinter* printer) { m_printer = printer; }
  QDialog* Display() const { return m_display; }

  virtual void CreateDisplay() = 0;
  virtual void DestroyDisplay() = 0;
  // first: link to the printer and show; last: hide; neither: refresh values.
  virtual void UpdateDisplay(bool first, bool last) = 0;

protected:
  void applyProperties();
  QPointer<QDialog> m_display;

private:
  TStatusPosition m_position = poScreenCenter;
  bool m_ctl3D = true;
  bool m_visible = false;
  QPointer<TFxCustomFaxPrinter> m_printer;
};

class TStandardFaxPrinterStatusDisplay : public QDialog {
  Q_OBJECT
public:
  explicit TStandardFaxPrinterStatusDisplay(QWidget* parent = nullptr);
  Q_DISABLE_COPY(TStandardFaxPrinterStatusDisplay)

  void SetFaxPrinter(TFxCustomFaxPrinter* printer) { m_printer = printer; }
  void UpdateValues();
  void fpsAbortButtonClick();

  QLabel* fpsFileName;
  QLabel* fpsTotalPages;
  QLabel* fpsResolution;
  QLabel* fpsWidth;
  QLabel* fpsFirstPage;
  QLabel* fpsLastPage;
  QLabel* fpsStatusLine;
  QPushButton* fpsAbortButton;

private:
  QPointer<TFxCustomFaxPrinter> m_printer;
};

class TFxFaxPrinterStatus : public TFxAbstractFaxPrinterStatus {
  Q_OBJECT
public:
  explicit TFxFaxPrinterStatus(QObject* owner = nullptr);
  ~TFxFaxPrinterStatus() override;
  Q_DISABLE_COPY(TFxFaxPrinterStatus)

  void CreateDisplay() override;
  void DestroyDisplay() override;
  void UpdateDisplay(bool first, bool last) override;
};

} // namespace faxview
