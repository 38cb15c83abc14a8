#include "platform/PortDevices.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"

namespace platform {

namespace {
constexpr const char* PortsSection = "Ports";

std::string portKey(int comNumber) {
  return "Com" + std::to_string(comNumber);
}
} // namespace

std::string DefaultPortDevice(int comNumber) {
  if (comNumber < FirstComPort)
    return {};
  return "/dev/ttyS" + std::to_string(comNumber - 1);
}

std::string PortDevicePath(int comNumber, const std::string& iniPath) {
  if (comNumber < FirstComPort)
    return {};
  std::string device = GetPrivateProfileString(PortsSection, portKey(comNumber), "", iniPath);
  return device.empty() ? DefaultPortDevice(comNumber) : device;
}

std::string PortDevicePath(int comNumber) {
  return PortDevicePath(comNumber, IniFileName());
}

PortFaxFeatures PortFeatures(int comNumber, const std::string& iniPath) {
  PortFaxFeatures f;
  if (comNumber < FirstComPort)
    return f;
  auto on = [&](const char* feature) {
    return GetPrivateProfileString(PortsSection, portKey(comNumber) + feature, "1", iniPath) != "0";
  };
  f.ecm = on("Ecm");
  f.twoDim = on("TwoDim");
  return f;
}

PortFaxFeatures PortFeatures(int comNumber) {
  return PortFeatures(comNumber, IniFileName());
}

bool SetPortFeatures(int comNumber, const PortFaxFeatures& features, const std::string& iniPath) {
  if (comNumber < FirstComPort)
    return false;
  auto put = [&](const char* feature, bool on) {
    return WritePrivateProfileString(PortsSection, portKey(comNumber) + feature, on ? "1" : "0",
                                     iniPath);
  };
  const bool ecmStored = put("Ecm", features.ecm);
  return put("TwoDim", features.twoDim) && ecmStored;
}

bool SetPortDevicePath(int comNumber, const std::string& device, const std::string& iniPath) {
  if (comNumber < FirstComPort)
    return false;
  return WritePrivateProfileString(PortsSection, portKey(comNumber), device, iniPath);
}

} // namespace platform
