#pragma once
// The send component: dials one or more numbers and sends a fax file with an
// optional cover to each.

#include "faxengine/TFxAbstractFax.h"

using TFaxNextEvent = std::function<void(TFxCustomAbstractFax& cp, std::string& phoneNumber,
                                         std::string& faxFile, std::string& coverFile)>;

class TFxCustomSendFax : public TFxAbstractFax {
public:
  TFxCustomSendFax();

  bool BlindDial() const { return m_proto.blindDial; }
  void SetBlindDial(bool v);
  bool DetectBusy() const { return m_proto.detectBusy; }
  void SetDetectBusy(bool v);
  bool ToneDial() const { return m_proto.toneDial; }
  void SetToneDial(bool v) { m_proto.toneDial = v; }
  const std::string& DialPrefix() const { return m_proto.dialPrefix; }
  void SetDialPrefix(const std::string& v) { m_proto.dialPrefix = v.substr(0, 40); }
  uint16_t DialWait() const; // seconds
  void SetDialWait(uint16_t seconds);
  uint16_t DialAttempts() const { return m_rec.dialAttempts; }
  void SetDialAttempts(uint16_t v) { m_rec.dialAttempts = v; }
  uint16_t DialRetryWait() const; // seconds
  void SetDialRetryWait(uint16_t seconds);
  uint16_t MaxSendCount() const { return m_maxSendCount; }
  void SetMaxSendCount(uint16_t v) { m_maxSendCount = v; }
  uint16_t BufferMinimum() const { return m_bufferMinimum; }
  void SetBufferMinimum(uint16_t v) { m_bufferMinimum = v; }
  const std::string& HeaderLine() const { return m_rec.headerLine; }
  void SetHeaderLine(const std::string& v) { m_rec.headerLine = v; }
  const std::string& CoverFile() const { return m_coverFile; }
  void SetCoverFile(const std::string& v) { m_coverFile = v; }
  const std::string& PhoneNumber() const { return m_phoneNumber; }
  void SetPhoneNumber(const std::string& v) { m_phoneNumber = v; }
  bool SafeMode() const { return m_safeMode; }
  void SetSafeMode(bool v) { m_safeMode = v; }
  int DialAttempt() const { return m_rec.dialAttempt + 1; }
  const std::string& HeaderSender() const { return m_rec.headerSender; }
  void SetHeaderSender(const std::string& v) { m_rec.headerSender = v; }
  const std::string& HeaderRecipient() const { return m_rec.headerRecipient; }
  void SetHeaderRecipient(const std::string& v) { m_rec.headerRecipient = v; }
  const std::string& HeaderTitle() const { return m_rec.headerTitle; }
  void SetHeaderTitle(const std::string& v) { m_rec.headerTitle = v; }

  TFaxNextEvent OnFaxNext;

  void BeginTransmit();
  bool IsSender() const override { return true; }

protected:
  int InitializeCall() override;
  bool FaxNextEvent() override;

private:
  void ChooseInitString();

  uint16_t m_maxSendCount = 50;
  uint16_t m_bufferMinimum = 1000;
  std::string m_coverFile, m_phoneNumber;
  bool m_safeMode = true;
  bool m_singleFaxGiven = false;
};

class TFxSendFax : public TFxCustomSendFax {
public:
  using TFxCustomSendFax::TFxCustomSendFax;
};
