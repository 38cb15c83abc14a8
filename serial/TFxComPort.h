#pragma once
// The published serial port component.

#include "serial/TFxCustomComPort.h"

class TFxComPort : public TFxCustomComPort {
public:
  using TFxCustomComPort::TFxCustomComPort;
};
