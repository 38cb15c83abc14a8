#include "archive/OcrLanguages.h"

#include "platform/ProfileFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace archive {

namespace {

constexpr const char* kEnglish = "eng";
constexpr const char* kSuffix = ".traineddata";

std::vector<std::string> languagesIn(const std::string& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= std::string(kSuffix).size() || entry.path().extension() != kSuffix)
      continue;
    const std::string language = entry.path().stem().string();
    if (language != "osd" && entry.is_regular_file(ec))
      found.push_back(language);
  }
  std::sort(found.begin(), found.end());
  return found;
}

} // namespace

std::string OcrDataDir() {
  std::vector<std::string> candidates;
  if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) {
    const std::string dir =
        std::string(prefix) + (prefix[std::strlen(prefix) - 1] == '/' ? "" : "/");
    candidates = {dir, dir + "tessdata/"};
  } else {
    candidates = {"/usr/share/tesseract-ocr/5/tessdata/", "/usr/share/tesseract-ocr/4.00/tessdata/",
                  "/usr/share/tessdata/", "/usr/local/share/tessdata/"};
  }
  for (const std::string& dir : candidates)
    if (!languagesIn(dir).empty())
      return dir;
  return {};
}

std::vector<std::string> OcrLanguages() {
  const std::string dir = OcrDataDir();
  return dir.empty() ? std::vector<std::string>() : languagesIn(dir);
}

OcrLanguageChoice ChooseOcrLanguage(const std::string& wanted) {
  const std::vector<std::string> installed = OcrLanguages();
  const std::string language = wanted.empty() ? kEnglish : wanted;
  if (std::find(installed.begin(), installed.end(), language) != installed.end())
    return {language, {}};
  std::string problem = "The OCR language \"" + language + "\" is not installed (no " + language +
                        kSuffix + " in " +
                        (OcrDataDir().empty() ? "the OCR data folder" : OcrDataDir()) + ")";
  if (language == kEnglish)
    return {kEnglish, problem + "; the faxes' text cannot be read."};
  return {kEnglish, problem + "; the faxes' text is read as English."};
}

std::string LoadOcrLanguage(const std::string& iniPath) {
  const std::string language =
      platform::GetPrivateProfileString("Archive", "OcrLanguage", kEnglish, iniPath);
  return language.empty() ? kEnglish : language;
}

bool SaveOcrLanguage(const std::string& language, const std::string& iniPath) {
  return platform::WritePrivateProfileString("Archive", "OcrLanguage", language, iniPath);
}

} // namespace archive
