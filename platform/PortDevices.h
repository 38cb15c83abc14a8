#pragma once
// Serial port names: the program numbers its ports COM1 to COM6; on Linux each
// number maps to a device path kept in TOV.INI, section [Ports], keys Com1 to
// Com6 (for USB modems such as /dev/ttyACM0 or a simulator's pseudo-terminal).
// Without an entry, Com n is /dev/ttyS<n-1>.

#include <string>

namespace platform {

inline constexpr int FirstComPort = 1;
inline constexpr int LastComPort = 6;

// The default device of Com n (n >= 1): /dev/ttyS<n-1>; empty for n < 1.
std::string DefaultPortDevice(int comNumber);

// The device path of Com n from the given profile file; the default when the
// key is missing or empty. Empty for n < 1.
std::string PortDevicePath(int comNumber, const std::string& iniPath);

// The same, from the program's TOV.INI.
std::string PortDevicePath(int comNumber);

// Fax features a port may use, from the same section: Com<n>Ecm=0 turns
// error correction off and Com<n>TwoDim=0 two-dimensional coding (MR, MMR),
// for a modem or line that does not cope with them. Both are on when the
// key is missing.
struct PortFaxFeatures {
  bool ecm = true;
  bool twoDim = true;
};
PortFaxFeatures PortFeatures(int comNumber, const std::string& iniPath);
PortFaxFeatures PortFeatures(int comNumber);
// Stores both switches of Com n in the given profile file: a feature that
// is on is written as 1, so the file says what the user chose.
bool SetPortFeatures(int comNumber, const PortFaxFeatures& features, const std::string& iniPath);

// Stores the device path of Com n in the given profile file.
bool SetPortDevicePath(int comNumber, const std::string& device, const std::string& iniPath);

} // namespace platform
