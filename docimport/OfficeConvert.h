#pragma once
// Word-processor documents (RTF, OpenDocument, Word) become PDF through
// LibreOffice run without a window, with a profile of its own so that an
// open LibreOffice window neither blocks nor takes the job.

#include <string>

namespace docimport {

// The PDF LibreOffice made, in a scratch folder removed with this object.
class OfficePdf {
public:
  OfficePdf(std::string folder, std::string pdf)
      : m_folder(std::move(folder)), m_pdf(std::move(pdf)) {}
  ~OfficePdf();
  OfficePdf(OfficePdf&& other) noexcept : m_folder(std::move(other.m_folder)), m_pdf(other.m_pdf) {
    other.m_folder.clear();
  }
  OfficePdf(const OfficePdf&) = delete;
  OfficePdf& operator=(const OfficePdf&) = delete;
  OfficePdf& operator=(OfficePdf&&) = delete;

  const std::string& path() const { return m_pdf; }

private:
  std::string m_folder;
  std::string m_pdf;
};

// The LibreOffice program found on PATH, or "" when none is installed.
std::string officeProgram();

// Converts; throws ImportError naming the package to install when
// LibreOffice is missing, or saying that the conversion failed.
OfficePdf convertWithOffice(const std::string& path);

} // namespace docimport
