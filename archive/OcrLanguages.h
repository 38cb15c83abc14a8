#pragma once
// The languages the OCR engine can read: one data file each
// (LANG.traineddata) in its data folder. The one chosen for the faxes is
// kept in TOV.INI, section [Archive], key OcrLanguage; without one, or when
// its data is not installed, faxes are read as English.

#include <string>
#include <vector>

namespace archive {

// The engine's data folder: $TESSDATA_PREFIX (or its tessdata/) when set,
// otherwise the folder the distribution's packages fill. Empty when none
// holds any language.
std::string OcrDataDir();
// The installed languages (the data files' names, "osd" left out), sorted.
std::vector<std::string> OcrLanguages();

struct OcrLanguageChoice {
  std::string Language; // what the faxes are read as
  std::string Problem;  // why it is not the one wanted; empty when it is
};
// The language to read faxes in when `wanted` is asked for.
OcrLanguageChoice ChooseOcrLanguage(const std::string& wanted);

// The language in TOV.INI ("eng" when none is set), and storing it; false
// when the file cannot be written.
std::string LoadOcrLanguage(const std::string& iniPath);
bool SaveOcrLanguage(const std::string& language, const std::string& iniPath);

} // namespace archive
