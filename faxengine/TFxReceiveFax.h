#pragma once
// The receive component: answers incoming calls and stores each fax as an
// APF file in DestinationDir.

#include "faxengine/TFxAbstractFax.h"

using TFaxAcceptEvent = std::function<void(TFxCustomAbstractFax& cp, bool& accept)>;
using TFaxNameEvent = std::function<void(TFxCustomAbstractFax& cp, std::string& name)>;

class TFxCustomReceiveFax : public TFxAbstractFax {
public:
  TFxCustomReceiveFax() = default;

  uint16_t AnswerOnRing() const { return m_proto.answerOnRing; }
  void SetAnswerOnRing(uint16_t v) { m_proto.answerOnRing = v; }
  bool FaxAndData() const { return m_rec.faxAndData; }
  void SetFaxAndData(bool v) { m_rec.faxAndData = v; }
  bool OneFax() const { return m_rec.oneFax; }
  void SetOneFax(bool v) { m_rec.oneFax = v; }
  bool ConstantStatus() const { return m_rec.constantStatus; }
  void SetConstantStatus(bool v) { m_rec.constantStatus = v; }
  const std::string& DestinationDir() const { return m_rec.destinationDir; }
  void SetDestinationDir(const std::string& v) { m_rec.destinationDir = v; }
  // 1 = FAX0001.APF ..., 2 = date names, other = "noname.apf".
  int NamingMode = 1;

  TFaxAcceptEvent OnFaxAccept;
  TFaxNameEvent OnFaxName;

  void BeginReceive();
  bool IsSender() const override { return false; }

protected:
  int InitializeCall() override;
  void FaxNameEvent() override;
  bool FaxAcceptEvent() override;
  void FaxLogEvent(int logCode) override;
};

class TFxReceiveFax : public TFxCustomReceiveFax {
public:
  using TFxCustomReceiveFax::TFxCustomReceiveFax;
};
