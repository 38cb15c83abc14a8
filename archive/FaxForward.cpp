#include "archive/FaxForward.h"

#include "faxexport/FaxExport.h"
#include "platform/FxErrors.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace archive {

namespace {

std::string timeText(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &local);
  return buf;
}

// Mail header values carry no line breaks of their own.
std::string headerValue(const std::string& text) {
  std::string out;
  for (const char c : text)
    out += (c == '\r' || c == '\n') ? ' ' : c;
  return out;
}

std::string addressOf(const std::string& text) {
  std::string a = text;
  a.erase(0, a.find_first_not_of(" \t"));
  a.erase(a.find_last_not_of(" \t") + 1);
  return a.empty() || a.front() == '<' ? a : "<" + a + ">";
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
  void operator()(curl_mime* m) const { curl_mime_free(m); }
};

} // namespace

std::string ForwardName(const ForwardedFax& fax) {
  std::string remote;
  for (const char c : fax.RemoteId) {
    const unsigned char u = static_cast<unsigned char>(c);
    remote += (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
               c == '"' || c == '<' || c == '>' || c == '|')
                  ? '_'
                  : c;
  }
  while (!remote.empty() && (remote.back() == ' ' || remote.back() == '.'))
    remote.pop_back();
  std::string name = timeText(fax.When, "%Y-%m-%d %H.%M");
  if (!remote.empty())
    name += " " + remote;
  return name;
}

std::string SaveFaxPdf(const ForwardedFax& fax, const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw ForwardError("The folder " + folder + " does not exist.");
  if (::access(folder.c_str(), W_OK) != 0)
    throw ForwardError("The folder " + folder + " cannot be written to.");
  const std::string base = (fs::path(folder) / ForwardName(fax)).string();
  std::string path = base + ".pdf";
  for (int n = 2; fs::exists(path, ec); ++n)
    path = base + " (" + std::to_string(n) + ").pdf";
  try {
    faxexport::ExportFax(fax.ApfPath, 1, fax.Pages, path, faxexport::ExportFormat::Pdf);
  } catch (const std::exception& e) {
    throw ForwardError("The PDF file " + path + " could not be written: " + e.what());
  }
  return path;
}

void SendFaxMail(const MailSettings& mail, const ForwardedFax& fax, const std::string& pdfPath,
                 const std::string& firstPageText) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  std::unique_ptr<CURL, CurlDeleter> curl(initialised ? curl_easy_init() : nullptr);
  if (!curl)
    throw ForwardError("The mail library could not be started.");
  CURL* c = curl.get();
  char error[CURL_ERROR_SIZE] = {};
  const std::string url = "smtp://" + mail.Host + ":" + std::to_string(mail.Port);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_USE_SSL, long(mail.RequireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  if (!mail.CaFile.empty())
    curl_easy_setopt(c, CURLOPT_CAINFO, mail.CaFile.c_str());
  if (!mail.User.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, mail.User.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, mail.Password.c_str());
  }
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, 180L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  const std::string from = addressOf(mail.From);
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  std::unique_ptr<curl_slist, CurlDeleter> recipients;
  std::istringstream to(mail.To);
  for (std::string one; std::getline(to, one, ',');)
    if (!addressOf(one).empty())
      recipients.reset(curl_slist_append(recipients.release(), addressOf(one).c_str()));
  if (!recipients)
    throw ForwardError("No address to forward the fax to.");
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());

  const std::string subject = "Fax from " + (fax.RemoteId.empty() ? "unknown" : fax.RemoteId) +
                              ", " + std::to_string(fax.Pages) + " page(s)";
  std::unique_ptr<curl_slist, CurlDeleter> headers;
  for (const std::string& h :
       {"Subject: " + headerValue(subject), "From: " + headerValue(mail.From),
        "To: " + headerValue(mail.To), "Date: " + timeText(std::time(nullptr), "%a, %d %b %Y %H:%M:%S %z")})
    headers.reset(curl_slist_append(headers.release(), h.c_str()));
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

  const std::string body = "A fax was received on " + timeText(fax.When, "%Y-%m-%d at %H:%M") +
                           " from " + (fax.RemoteId.empty() ? "an unknown sender" : fax.RemoteId) +
                           ", " + std::to_string(fax.Pages) +
                           " page(s); it is attached as a PDF file.\r\n\r\nText of the first "
                           "page:\r\n\r\n" + firstPageText;
  std::unique_ptr<curl_mime, CurlDeleter> mime(curl_mime_init(c));
  curl_mimepart* text = curl_mime_addpart(mime.get());
  curl_mime_data(text, body.data(), body.size());
  curl_mime_type(text, "text/plain; charset=utf-8");
  curl_mime_encoder(text, "quoted-printable");
  curl_mimepart* pdf = curl_mime_addpart(mime.get());
  if (curl_mime_filedata(pdf, pdfPath.c_str()) != CURLE_OK)
    throw ForwardError("The PDF file " + pdfPath + " cannot be read.");
  const std::string attachment = ForwardName(fax) + ".pdf";
  curl_mime_filename(pdf, attachment.c_str());
  curl_mime_type(pdf, "application/pdf");
  curl_mime_encoder(pdf, "base64");
  curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

  const CURLcode rc = curl_easy_perform(c);
  if (rc != CURLE_OK)
    throw ForwardError("The mail to " + mail.To + " could not be sent: " +
                       (error[0] ? std::string(error) : std::string(curl_easy_strerror(rc))));
}

} // namespace archive
