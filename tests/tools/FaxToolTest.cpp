// tolvane-fax end to end: convert, info and export, with the exported images
// read back by libtiff and libpng, and failures that must leave no files.
#include "faximage/UnpackerEngine.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace faximage;

namespace {

struct Result {
  int exitCode = -1;
  std::string out, err;
};

class FaxTool : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("tolvane-cli-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string path(const std::string& name) const { return (m_dir / name).string(); }

  Result run(const std::string& args) const {
    const std::string out = path("stdout"), err = path("stderr");
    const std::string cmd = std::string(TOLVANE_FAX_TOOL) + " " + args + " >" + out + " 2>" + err;
    Result r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    fs::remove(out);
    fs::remove(err);
    return r;
  }

  static std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string writeText(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_dir))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path m_dir;
};

// The rows of page n as coded (standard rows neither doubled nor halved).
std::vector<std::vector<uint8_t>> codedRows(const std::string& apf, int page) {
  std::vector<std::vector<uint8_t>> rows;
  UnpackerEngine engine(
      [&](bool, bool, const uint8_t* d, int len, int) { rows.emplace_back(d, d + len); });
  engine.setOption(kUnpackAsCoded, true);
  EXPECT_EQ(engine.unpackPage(apf, page), 0);
  return rows;
}

TEST_F(FaxTool, ConvertInfoAndExportOfATextLetter) {
  const auto txt = writeText("letter.txt", "Dear reader,\r\n\r\nWIDE\tTABS and more text.\r\n");
  Result r = run("convert " + txt + " " + path("letter.apf") + " --station \"+49 30 1234\"");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run("info " + path("letter.apf"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Station ID: \"+49 30 1234\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Pages: 1"), std::string::npos);
  EXPECT_NE(r.out.find("flags 4 (standard, 1728 pixels, length words)"), std::string::npos);
  EXPECT_NE(r.out.find(" 0 invalid codes, 0 rows of wrong length"), std::string::npos);
  const auto rows = codedRows(path("letter.apf"), 1);
  ASSERT_EQ(rows.size(), 48u); // three text lines of 16 rows

  ASSERT_EQ(run("export " + path("letter.apf") + " " + path("p%d.pbm")).exitCode, 0);
  const std::string pbm = slurp(path("p1.pbm"));
  const std::string head = "P4\n1728 " + std::to_string(2 * rows.size()) + "\n";
  ASSERT_EQ(pbm.compare(0, head.size(), head), 0) << "standard rows are doubled";
  for (std::size_t y = 0; y < rows.size(); ++y)
    ASSERT_EQ(std::memcmp(pbm.data() + head.size() + (2 * y + 1) * 216, rows[y].data(), 216), 0);

  ASSERT_EQ(run("export " + path("letter.apf") + " " + path("p.png")).exitCode, 0);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path("p.png").c_str()));
  EXPECT_EQ(image.width, 1728u);
  EXPECT_EQ(image.height, 2 * rows.size());
  image.format = PNG_FORMAT_GRAY;
  std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
  for (std::size_t y = 0; y < rows.size(); ++y)
    for (int x = 0; x < 1728; ++x)
      ASSERT_EQ(grey[(2 * y) * 1728 + x] == 0, bool(rows[y][x / 8] & (0x80 >> (x % 8))))
          << x << "," << y;
}

TEST_F(FaxTool, TiffExportReadsBackThroughLibtiff) {
  const auto txt = writeText("two.txt", "first page\fsecond page\r\n");
  ASSERT_EQ(run("convert " + txt + " " + path("two.apf") + " --fine --font small").exitCode, 0);
  Result r = run("export " + path("two.apf") + " " + path("two.tif"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  TIFFSetWarningHandler(nullptr);
  TIFF* t = TIFFOpen(path("two.tif").c_str(), "r");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(TIFFNumberOfDirectories(t), 2);
  for (int page = 1; page <= 2; ++page) {
    const auto rows = codedRows(path("two.apf"), page);
    uint32_t width = 0, height = 0;
    uint16_t compression = 0;
    float yres = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &yres);
    EXPECT_EQ(width, 1728u);
    ASSERT_EQ(height, rows.size());
    EXPECT_EQ(compression, COMPRESSION_CCITTFAX3);
    EXPECT_EQ(yres, 196.0f);
    std::vector<uint8_t> row(216);
    for (uint32_t y = 0; y < height; ++y) {
      ASSERT_EQ(TIFFReadScanline(t, row.data(), y, 0), 1);
      ASSERT_EQ(row, rows[y]) << "page " << page << " row " << y;
    }
    TIFFReadDirectory(t);
  }
  TIFFClose(t);
  // Several pages into one PNG name is a usage mistake; %d or --page fixes it.
  EXPECT_EQ(run("export " + path("two.apf") + " " + path("two.png")).exitCode, 2);
  EXPECT_EQ(run("export " + path("two.apf") + " " + path("two.png") + " --page 2").exitCode, 0);
  EXPECT_EQ(run("export " + path("two.apf") + " " + path("x%d.pbm")).exitCode, 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"two.apf", "two.png", "two.tif", "two.txt", "x1.pbm",
                                               "x2.pbm"}));
}

TEST_F(FaxTool, FailuresPrintTheErrorTextAndLeaveNoFiles) {
  Result r = run("convert " + path("missing.txt") + " " + path("out.apf"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("File not found"), std::string::npos) << r.err;
  const auto bad = writeText("bad.apf", "APF10 this is not a fax file at all, just some text bytes"
                                        " long enough for a header................");
  r = run("export " + bad + " " + path("bad%d.png"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("File is not an APF file"), std::string::npos) << r.err;
  const auto tif = writeText("four.tif", std::string("II*\0", 4) + std::string(60, '\0'));
  r = run("convert " + tif + " " + path("four.apf"));
  EXPECT_EQ(r.exitCode, 1);
  // A TIFF whose directory cannot be found is a damaged file, and says so.
  EXPECT_NE(r.err.find("The TIFF file cannot be read"), std::string::npos) << r.err;
  EXPECT_EQ(run("info " + path("letter.apf") + " extra").exitCode, 2);
  EXPECT_EQ(run("convert a b --left wide").exitCode, 2);
  EXPECT_EQ(run("frobnicate").exitCode, 2);
  EXPECT_EQ(files(), (std::vector<std::string>{"bad.apf", "four.tif"}));
}

} // namespace
