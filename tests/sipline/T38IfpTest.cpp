// IFP packets as spandsp's T.38 core encodes them, read by our parser, and
// the bit-order repair of received non-ECM image data.

#include "sipline/T38Ifp.h"

#include <spandsp.h>

#include <gtest/gtest.h>

using namespace tolvane::sipline;

namespace {

struct Encoder {
  std::vector<std::vector<uint8_t>> packets;
  t38_core_state_t* core;
  explicit Encoder(int version) {
    core = t38_core_init(
        nullptr, [](t38_core_state_t*, void*, int) { return 0; },
        [](t38_core_state_t*, void*, int, int, const uint8_t*, int) { return 0; },
        [](t38_core_state_t*, void*, int, int) { return 0; }, nullptr,
        [](t38_core_state_t*, void* user, const uint8_t* buf, int len, int) {
          static_cast<Encoder*>(user)->packets.emplace_back(buf, buf + len);
          return 0;
        },
        this);
    t38_set_t38_version(core, version);
  }
  ~Encoder() { t38_core_free(core); }
};

} // namespace

TEST(T38Ifp, PacketsOfSpandspsEncoderParseToTheirFieldsInBothVersions) {
  for (int version : {0, 2}) {
    Encoder enc(version);
    t38_core_send_indicator(enc.core, T38_IND_V17_14400_LONG_TRAINING);
    const uint8_t hdlc[] = {0xFF, 0x13, 0x80};
    const uint8_t image[] = {0x01, 0x80, 0x0F, 0xF0};
    // spandsp 0.0.6 writes every version 0 field in whole octets, which
    // reads the same as the half-octet packing only when the fields without
    // data come last; version 2 has no such packing.
    t38_data_field_t fields[] = {{T38_FIELD_HDLC_DATA, hdlc, 3},
                                 {T38_FIELD_HDLC_FCS_OK, nullptr, 0},
                                 {T38_FIELD_HDLC_DATA, hdlc, 2},
                                 {T38_FIELD_HDLC_FCS_OK_SIG_END, nullptr, 0}};
    if (version == 0) {
      fields[1] = {T38_FIELD_HDLC_DATA, hdlc, 2};
      fields[2] = {T38_FIELD_HDLC_FCS_OK, nullptr, 0};
    }
    t38_core_send_data_multi_field(enc.core, T38_DATA_V21, fields, version == 0 ? 3 : 4,
                                   T38_PACKET_CATEGORY_CONTROL_DATA);
    t38_core_send_data(enc.core, T38_DATA_V17_14400, T38_FIELD_T4_NON_ECM_DATA, image, 4,
                       T38_PACKET_CATEGORY_IMAGE_DATA);
    ASSERT_EQ(enc.packets.size(), 3u);

    auto ind = parseIfp(enc.packets[0].data(), enc.packets[0].size(), version);
    ASSERT_TRUE(ind) << "version " << version;
    EXPECT_TRUE(ind->indicator);
    EXPECT_EQ(ind->value, T38_IND_V17_14400_LONG_TRAINING);

    auto hd = parseIfp(enc.packets[1].data(), enc.packets[1].size(), version);
    ASSERT_TRUE(hd) << "version " << version;
    EXPECT_FALSE(hd->indicator);
    EXPECT_EQ(hd->value, T38_DATA_V21);
    ASSERT_EQ(hd->fields.size(), version == 0 ? 3u : 4u);
    EXPECT_EQ(hd->fields[0].type, kHdlcData);
    EXPECT_EQ(hd->fields[0].length, 3u);
    const IfpField& second = hd->fields[version == 0 ? 1 : 2];
    EXPECT_EQ(second.type, kHdlcData);
    EXPECT_EQ(second.length, 2u);
    EXPECT_EQ(enc.packets[1][second.offset + 1], 0x13);
    EXPECT_EQ(hd->fields.back().type, version == 0 ? kHdlcFcsOk : kHdlcFcsOkSigEnd);

    std::vector<uint8_t> img = enc.packets[2];
    std::vector<uint8_t> hdlcCopy = enc.packets[1];
    ASSERT_TRUE(reverseNonEcmImageData(img, version));
    auto im = parseIfp(img.data(), img.size(), version);
    ASSERT_TRUE(im);
    ASSERT_EQ(im->fields.size(), 1u);
    const uint8_t* d = img.data() + im->fields[0].offset;
    EXPECT_EQ(std::vector<uint8_t>(d, d + 4), (std::vector<uint8_t>{0x80, 0x01, 0xF0, 0x0F}));
    EXPECT_FALSE(reverseNonEcmImageData(hdlcCopy, version)) << "HDLC data keeps its order";
    EXPECT_EQ(hdlcCopy, enc.packets[1]);
  }
}

// Version 0 (T.38 1998) packs a field without data into four bits, and the
// next field follows in the same octet.
TEST(T38Ifp, Version0FieldsWithoutDataShareAnOctet) {
  const uint8_t packet[] = {0xC0, 0x02, 0x28, 0x00, 0x00, 0xFF};
  auto p = parseIfp(packet, sizeof packet, 0);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->fields.size(), 2u);
  EXPECT_EQ(p->fields[0].type, kHdlcFcsOk);
  EXPECT_EQ(p->fields[0].length, 0u);
  EXPECT_EQ(p->fields[1].type, kHdlcData);
  EXPECT_EQ(p->fields[1].length, 1u);
  EXPECT_EQ(packet[p->fields[1].offset], 0xFF);
  EXPECT_FALSE(parseIfp(packet, sizeof packet, 2)) << "no such packing after version 0";
}

TEST(T38Ifp, TruncatedOrOverlongPacketsAreRefused) {
  Encoder enc(0);
  const uint8_t image[] = {1, 2, 3, 4, 5};
  t38_core_send_data(enc.core, T38_DATA_V29_9600, T38_FIELD_T4_NON_ECM_SIG_END, image, 5,
                     T38_PACKET_CATEGORY_IMAGE_DATA_END);
  const std::vector<uint8_t>& p = enc.packets.at(0);
  ASSERT_TRUE(parseIfp(p.data(), p.size(), 0));
  for (size_t cut = 0; cut < p.size(); ++cut)
    EXPECT_FALSE(parseIfp(p.data(), cut, 0)) << "cut at " << cut;
  std::vector<uint8_t> longer = p;
  longer.push_back(0);
  EXPECT_FALSE(parseIfp(longer.data(), longer.size(), 0));
}
