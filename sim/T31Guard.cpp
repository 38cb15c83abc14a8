#include "sim/T31Guard.h"

#include <atomic>
#include <cstring>

namespace tolvane::sim {
namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kSub = 0x1A;
// The stack buffer T.31 queues a frame in: a result code, the frame, its FCS.
constexpr int kQueueBuffer = 256;
// DIS and DTC (any X bit), and their ECM (27) and T.6 (31) capability bits
// in the fourth octet of the information field.
constexpr uint8_t kDis = 0x80;
constexpr size_t kEcmOctet = 6;
constexpr uint8_t kEcmBits = 0x04 | 0x40;

// T.31's own handlers, static functions in the library: the same for every
// modem, taken from the first one guarded.
std::atomic<t38_rx_data_handler_t*> t31T38Data{nullptr};
std::atomic<hdlc_frame_handler_t> t31AcceptFrame{nullptr};
std::atomic<bool> ecmOffOnT38{false};

bool isFcsField(int fieldType) {
  return fieldType == T38_FIELD_HDLC_FCS_OK || fieldType == T38_FIELD_HDLC_FCS_BAD ||
         fieldType == T38_FIELD_HDLC_FCS_OK_SIG_END || fieldType == T38_FIELD_HDLC_FCS_BAD_SIG_END;
}

// A frame ending in T.38 HDLC fields: T.31 has collected its octets in
// t38_fe.hdlc_rx, adds the FCS for a good one, and hands it on.
int guardedT38Data(t38_core_state_t* core, void* user, int dataType, int fieldType,
                   const uint8_t* buf, int len) {
  auto* t31 = static_cast<t31_state_t*>(user);
  auto& rx = t31->t38_fe.hdlc_rx;
  if (isFcsField(fieldType)) {
    if (len > 0) {
      // Octets sent along with the FCS field belong to the frame; collected
      // here as T.31 would, so that the whole frame is checked below.
      if (rx.len + len <= T31_T38_MAX_HDLC_LEN) {
        bit_reverse(rx.buf + rx.len, buf, len);
        rx.len += len;
      } else {
        t31->t38_fe.rx_data_missing = true;
      }
      buf = nullptr;
      len = 0;
    }
    if (rx.len > 0) {
      uint8_t frame[T31_T38_MAX_HDLC_LEN + 2] = {};
      bool fits = rx.len <= T31_T38_MAX_HDLC_LEN - 2;
      if (fits) {
        std::memcpy(frame, rx.buf, static_cast<size_t>(rx.len) + 2);
        if (fieldType == T38_FIELD_HDLC_FCS_OK || fieldType == T38_FIELD_HDLC_FCS_OK_SIG_END) {
          if (t31->t38_mode && ecmOffOnT38.load())
            T31Guard::clearEcm(rx.buf, static_cast<size_t>(rx.len), false);
          std::memcpy(frame, rx.buf, static_cast<size_t>(rx.len));
          crc_itu16_append(frame, rx.len);
        }
        fits = T31Guard::frameFits(t31, frame, rx.len);
      }
      if (!fits) {
        span_log(t31_get_logging_state(t31), SPAN_LOG_WARNING,
                 "Received HDLC frame of %d octets dropped: too long for the DTE\n", rx.len);
        rx.len = 0;
      }
    }
  }
  return t31T38Data.load()(core, user, dataType, fieldType, buf, len);
}

void guardedAcceptFrame(void* user, const uint8_t* frame, int len, int ok) {
  auto* t31 = static_cast<t31_state_t*>(user);
  if (len >= 0 && !T31Guard::frameFits(t31, frame, len)) {
    span_log(t31_get_logging_state(t31), SPAN_LOG_WARNING,
             "Received HDLC frame of %d octets dropped: too long for the DTE\n", len);
    return;
  }
  t31AcceptFrame.load()(user, frame, len, ok);
}

} // namespace

void T31Guard::keepEcmOffOnT38(bool on) {
  ecmOffOnT38.store(on);
}

bool T31Guard::frameFits(const t31_state_t* t31, const uint8_t* frame, int len) {
  const at_state_t& at = t31->at_state;
  if (at.ok_is_pending)
    return true; // T.31 ignores the frame
  // The frame reaches the DTE through rx_data, DLE doubled, with its FCS,
  // then DLE ETX: at once after what rx_data holds when the DTE waits, or
  // later from the queue (whose entries pass through a smaller buffer, a
  // result code and the frame with its FCS, which this bound covers too).
  size_t bytes = (at.dte_is_waiting ? static_cast<size_t>(at.rx_data_bytes) : 0) + 2;
  for (int i = 0; i < len + 2; ++i)
    bytes += frame[i] == kDle ? 2 : 1;
  return bytes <= sizeof at.rx_data && len + 3 <= kQueueBuffer;
}

bool T31Guard::clearEcm(uint8_t* frame, size_t len, bool bitReversed) {
  if (len <= kEcmOctet)
    return false;
  const uint8_t fcf = bitReversed ? bit_reverse8(frame[2]) : frame[2];
  if ((fcf & 0xFE) != kDis)
    return false;
  const uint8_t bits = bitReversed ? bit_reverse8(kEcmBits) : kEcmBits;
  frame[kEcmOctet] &= static_cast<uint8_t>(~bits);
  return true;
}

void T31Guard::guardT38(t31_state_t* t31) {
  t38_core_state_t* core = t31_get_t38_core_state(t31);
  if (core->rx_data_handler == &guardedT38Data)
    return;
  t31T38Data.store(core->rx_data_handler);
  core->rx_data_handler = &guardedT38Data;
}

void T31Guard::guardAudio(t31_state_t* t31) {
  hdlc_rx_state_t& rx = t31->audio.modems.hdlc_rx;
  if (rx.frame_handler == &guardedAcceptFrame || rx.frame_handler == nullptr)
    return;
  t31AcceptFrame.store(rx.frame_handler);
  rx.frame_handler = &guardedAcceptFrame;
}

void T31Guard::dteData(t31_state_t* t31, const uint8_t* data, size_t len) {
  size_t i = 0;
  while (i < len) {
    if (t31->at_state.at_rx_mode != AT_MODE_HDLC) {
      t31_at_rx(t31, reinterpret_cast<const char*>(data + i), static_cast<int>(len - i));
      break;
    }
    // One octet at a time while a frame is collected: what it adds to the
    // frame buffer once DLE codes are undone.
    const uint8_t b = data[i++];
    int adds = b == kDle ? 0 : 1;
    if (t31->dled)
      adds = b == kEtx ? 0 : b == kSub ? 2 : 1;
    if (t31->hdlc_tx.len + adds > T31_MAX_HDLC_LEN) {
      t31->dled = false; // a DLE pair is dropped whole
      continue;
    }
    t31_at_rx(t31, reinterpret_cast<const char*>(&b), 1);
  }
  // A frame for a T.38 line waits whole in hdlc_tx (bit-reversed) until the
  // line's clock sends it.
  if (t31->t38_mode && ecmOffOnT38.load() && t31->hdlc_tx.len > 0 &&
      t31->hdlc_tx.ptr <= static_cast<int>(kEcmOctet))
    clearEcm(t31->hdlc_tx.buf, static_cast<size_t>(t31->hdlc_tx.len), true);
}

} // namespace tolvane::sim
