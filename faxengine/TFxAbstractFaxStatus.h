#pragma once
// Base of a fax progress display: the fax component calls UpdateDisplay with
// every status event. A derived class creates and destroys its display form.

class TFxCustomAbstractFax;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };

class TFxAbstractFaxStatus {
public:
  TFxAbstractFaxStatus() = default;
  virtual ~TFxAbstractFaxStatus() = default;
  TFxAbstractFaxStatus(const TFxAbstractFaxStatus&) = delete;
  TFxAbstractFaxStatus& operator=(const TFxAbstractFaxStatus&) = delete;

  virtual void UpdateDisplay(bool first, bool last) = 0;

  TPosition Position() const { return m_position; }
  void SetPosition(TPosition v) {
    m_position = v;
    ApplyToDisplay();
  }
  bool Ctl3D() const { return m_ctl3d; }
  void SetCtl3D(bool v) {
    m_ctl3d = v;
    ApplyToDisplay();
  }
  bool Visible() const { return m_visible; }
  void SetVisible(bool v) {
    m_visible = v;
    ApplyToDisplay();
  }
  TFxCustomAbstractFax* Fax = nullptr;

protected:
  // A derived class calls CreateDisplay from its constructor and
  // DestroyDisplay from its destructor (virtual calls do not reach a
  // derived class from the base's own constructor and destructor).
  virtual void CreateDisplay() = 0;
  virtual void DestroyDisplay() = 0;
  // Passes Position, Ctl3D and Visible on to the display form when it exists.
  virtual void ApplyToDisplay() {}

private:
  TPosition m_position = poScreenCenter;
  bool m_ctl3d = true;
  bool m_visible = false;
};
