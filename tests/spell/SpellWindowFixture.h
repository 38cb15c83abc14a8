#pragma once
// The set-up of the spelling window tests: a data folder of their own with
// the main dictionary in it, and message boxes that must be answered by the
// test (a box nobody answers fails the test instead of waiting).

#include "SpellTestSupport.h"

#include "widgets/MessageBoxes.h"
#include "platform/ProgramDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace spelltest {

class SpellWindowFixture : public ::testing::Test {
protected:
  void SetUp() override {
    platform::setProgramDir(m_dir.Path());
    std::filesystem::copy_file(TOLVANE_MAIN_DICTIONARY, m_dir.File("tov.dct"));
    appwidgets::MessageBoxHook::clear();
    appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
  }
  void TearDown() override { platform::setProgramDir(""); }

  TempDir m_dir;
};

} // namespace spelltest
