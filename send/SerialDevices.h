#pragma once
// The serial devices behind the six "Com" entries: which devices the machine
// has, which device a Com entry is, and why a device could not be opened
// (permissions, or another program holding it). Plain C++, no windows.

#include <string>
#include <vector>

namespace faxsend {

// Serial devices present, in the order a user looks for them: the stable
// names under /dev/serial/by-id, then /dev/ttyACM*, /dev/ttyUSB*, and the
// /dev/ttyS* ports that have a UART behind them.
std::vector<std::string> PresentSerialDevices();

// The device path of Com n (1..6) as configured in TOV.INI [Ports].
std::string ComDevice(int comNumber);
// "Com1 is /dev/ttyS0": how the dialogs name a Com entry's device.
std::string ComDeviceText(int comNumber);

struct DeviceHolder {
  long pid = 0;        // 0 when nobody could be found
  std::string program; // the process name, e.g. "ModemManager"
};

// The process (not this one) that has the device open or holds its lock
// file. Finds only processes whose /proc entries this user may read.
DeviceHolder FindDeviceHolder(const std::string& device);

// USB devices are the ones a modem-probing service grabs.
bool IsUsbSerialDevice(const std::string& device);

// Why the device cannot be used, in words for the user, or empty when
// nothing is known: a permission problem names the dialout group; a held
// device names the program holding it, and for USB modems the probing
// service and how to keep it off the device.
std::string DeviceTroubleText(const std::string& device);

} // namespace faxsend
