#include "archive/SentFaxes.h"

#include "archive/ArchiveIndex.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace archive {

namespace {

constexpr const char* kPrefix = "sent/";

// A key is what app::SentFaxKey makes: letters and digits only, so that it
// is safe as a file name.
bool validKey(const std::string& key) {
  if (key.empty() || key.size() > 64)
    return false;
  for (const char c : key)
    if (!std::isalnum(static_cast<unsigned char>(c)))
      return false;
  return true;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// Written under a temporary name and renamed, so that a half-written text
// file never stands for a fax.
void writeFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      throw std::runtime_error("cannot write " + path);
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write " + path);
  }
}

} // namespace

std::string SentFaxName(const std::string& key) {
  return kPrefix + key;
}

std::string SentFaxKey(const std::string& indexName) {
  return indexName.rfind(kPrefix, 0) == 0 ? indexName.substr(std::string(kPrefix).size())
                                          : std::string();
}

bool KeepSentFaxPages(const std::string& apfPath, const std::string& sentDir,
                      const std::string& key) {
  if (!validKey(key))
    return false;
  std::error_code ec;
  fs::create_directories(sentDir, ec);
  const std::string base = sentDir + key;
  if (fs::exists(base + ".ocr", ec) || fs::exists(base + ".apf", ec))
    return true;
  if (::link(apfPath.c_str(), (base + ".apf").c_str()) == 0)
    return true;
  fs::copy_file(apfPath, base + ".apf.part", fs::copy_options::overwrite_existing, ec);
  if (!ec)
    fs::rename(base + ".apf.part", base + ".apf", ec);
  if (ec)
    fs::remove(base + ".apf.part", ec);
  return !ec;
}

std::map<std::string, SentFaxFiles> SentFaxesIn(const std::string& sentDir) {
  std::map<std::string, SentFaxFiles> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sentDir, ec)) {
    const std::string key = entry.path().stem().string();
    const std::string ext = entry.path().extension().string();
    if (!validKey(key) || !entry.is_regular_file(ec))
      continue;
    if (ext == ".apf")
      found[key].Pages = true;
    else if (ext == ".ocr")
      found[key].Text = true;
  }
  return found;
}

bool ReadSentFax(ArchiveIndex& index, const TextReader& reader, const std::string& sentDir,
                 const std::string& key) {
  if (!validKey(key))
    return false;
  const std::string pages = sentDir + key + ".apf";
  const std::string textFile = sentDir + key + ".ocr";
  const std::string name = SentFaxName(key);
  FaxText text;
  if (StampOf(textFile).Size < 0) {
    if (StampOf(pages).Size < 0)
      return false;
    text = reader(pages);
    writeFileAtomically(textFile, EncodeFaxText(text));
  } else {
    const FileStamp stamp = StampOf(textFile);
    if (index.IsCurrent(name, stamp)) {
      std::remove(pages.c_str());
      return false;
    }
    if (!DecodeFaxText(readFile(textFile), text)) {
      // A damaged text file: read the pages again if they are still here.
      std::remove(textFile.c_str());
      if (StampOf(pages).Size < 0)
        throw std::runtime_error("the kept text of a sent fax is damaged: " + textFile);
      return ReadSentFax(index, reader, sentDir, key);
    }
  }
  index.Store(name, StampOf(textFile), text);
  std::remove(pages.c_str());
  return true;
}

} // namespace archive
