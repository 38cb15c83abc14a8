#pragma once
// The fax history file: one entry per log event of the linked component.

#include <string>

class TFxCustomAbstractFax;

class TFxFaxLog {
public:
  std::string FaxHistoryName = "FXFAX.HIS";
  TFxCustomAbstractFax* Fax = nullptr;

  // Appends the entry for a log code of `fax` (nothing when the name is empty).
  void UpdateLog(TFxCustomAbstractFax& fax, int logCode);
  // The entry text for a log code, without writing it.
  static std::string LogEntry(TFxCustomAbstractFax& fax, int logCode);
};
