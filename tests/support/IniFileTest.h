#pragma once
// A test with a TOV.INI of its own in a scratch folder that is removed
// afterwards, and the file's bytes written and read whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace testsupport {

class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("tolvane-ini-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    m_ini = (m_dir / "TOV.INI").string();
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  void writeFile(const std::string& bytes) { std::ofstream(m_ini, std::ios::binary) << bytes; }
  std::string readFile() {
    std::ifstream in(m_ini, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  std::filesystem::path m_dir;
  std::string m_ini;
};

} // namespace testsupport
