#include "faximage/T4Codes.h"

#include <memory>

namespace faximage::t4 {

namespace {

constexpr void fill(ModeTable& t, mh::LsbCode code, ModeEntry entry) {
  for (unsigned w = code.bits; w < (1u << kModeBits); w += 1u << code.length)
    t.at[w] = entry;
}

constexpr ModeTable buildModes() {
  ModeTable t{};
  for (auto& e : t.at)
    e = ModeEntry{ModeEntry::Invalid, 0, 0};
  fill(t, kPass, {ModeEntry::Pass, 0, kPass.length});
  fill(t, kHorizontal, {ModeEntry::Horizontal, 0, kHorizontal.length});
  for (int d = -3; d <= 3; ++d)
    fill(t, kVertical[d + 3], {ModeEntry::Vertical, int8_t(d), kVertical[d + 3].length});
  return t;
}

void fill(uint16_t* t, mh::LsbCode code, unsigned run) {
  for (unsigned w = code.bits; w < (1u << kRunBits); w += 1u << code.length)
    t[w] = uint16_t(run << 4 | code.length);
}

std::unique_ptr<RunTables> buildRuns() {
  auto t = std::make_unique<RunTables>();
  for (int colour = 0; colour < 2; ++colour) {
    for (unsigned run = 0; run < 64; ++run)
      fill(t->at[colour], mh::kLsbTables.terminating[colour][run], run);
    for (int i = 0; i < mh::kMakeUpCount; ++i)
      fill(t->at[colour], mh::kLsbTables.makeUp[colour][i], unsigned(64 * (i + 1)));
    fill(t->at[colour], kEol, kEolRun);
  }
  return t;
}

} // namespace

constinit const ModeTable kModeTable = buildModes();

const RunTables& runTables() {
  static const std::unique_ptr<RunTables> tables = buildRuns();
  return *tables;
}

} // namespace faximage::t4
