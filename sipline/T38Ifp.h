#pragma once
// T.38 IFP packets (T.38 clause 7, ASN.1 PER as T.38 version 0 and later
// encode it): the packet's kind, and where each data field's octets are.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tolvane::sipline {

// Field types of T.38 clause 7 (data-field field-type).
enum IfpFieldType {
  kHdlcData = 0,
  kHdlcSigEnd = 1,
  kHdlcFcsOk = 2,
  kHdlcFcsBad = 3,
  kHdlcFcsOkSigEnd = 4,
  kHdlcFcsBadSigEnd = 5,
  kT4NonEcmData = 6,
  kT4NonEcmSigEnd = 7,
};

struct IfpField {
  int type = 0;
  size_t offset = 0; // of the field's octets in the packet
  size_t length = 0;
};

struct IfpPacket {
  bool indicator = false;
  int value = 0; // the indicator, or the data type (V.21, V.17 14400 ...)
  std::vector<IfpField> fields;
};

// Returns nothing for bytes that are no IFP packet of this T.38 version.
std::optional<IfpPacket> parseIfp(const uint8_t* data, size_t len, int version);

// One data field to encode: its type and octets (none for a field that
// only marks an event, such as FCS-OK).
struct IfpFieldOut {
  int type = 0;
  std::vector<uint8_t> data;
};

// A data packet of one of the types T.38 version 0 knows (V.21 ... V.17
// 14400) with these fields, of which only the last may be without octets.
std::vector<uint8_t> encodeIfpData(int dataType, const std::vector<IfpFieldOut>& fields,
                                   int version);

// spandsp 0.0.6's T.38 terminal hands received non-ECM image octets to its
// T.4 receiver without reversing their bit order as its transmitter does
// (fixed in later releases). Reversing them once more on arrival cancels
// that out; true when the packet was changed.
bool reverseNonEcmImageData(std::vector<uint8_t>& packet, int version);

} // namespace tolvane::sipline
