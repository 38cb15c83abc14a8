#include "sim/Class2Engine.h"

namespace tolvane::sim {

// Built when the Class 2 engine is not part of the build: models that
// include classes 2 and 2.0 then answer ERROR to AT+FCLASS=2.
std::unique_ptr<ModemEngine> makeClass2Engine(bool, const std::string&, Class2Hooks) {
  return nullptr;
}

} // namespace tolvane::sim
