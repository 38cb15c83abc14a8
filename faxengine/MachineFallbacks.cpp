// Stand-ins used only when the program is linked without the Class 1
// machines: a call in Class 1 is then refused like a modem without it.
// The Class 1 code defines the real factories, which the linker prefers.

#include "faxengine/FaxSession.h"

namespace faxengine {

__attribute__((weak)) std::unique_ptr<FaxMachine> MakeClass1SendMachine(FaxSession&) {
  return nullptr;
}

__attribute__((weak)) std::unique_ptr<FaxMachine> MakeClass1ReceiveMachine(FaxSession&) {
  return nullptr;
}

} // namespace faxengine
