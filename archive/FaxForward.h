#pragma once
// Forwarding a received fax: as a PDF file into a folder, and as a PDF
// attachment in a mail sent over SMTP (STARTTLS and authentication through
// libcurl), with the text of its first page in the mail body. Each function
// throws ForwardError with a message for the user when it fails.

#include <ctime>
#include <stdexcept>
#include <string>

namespace archive {

class ForwardError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct MailSettings {
  std::string Host;
  int Port = 587;
  std::string User;
  std::string Password;
  std::string From; // the sender address
  std::string To;   // one or more addresses separated by commas
  std::string CaFile; // trusted certificates; empty: the system's
  bool RequireTls = true; // STARTTLS, never plain text
};

// The fax as the forwarder describes it.
struct ForwardedFax {
  std::string ApfPath;
  std::string RemoteId;
  std::time_t When = 0;
  int Pages = 0;
};

// "2024-03-05 14.30 REMOTE ID": date, time and remote ID, with characters
// that a file name cannot hold replaced.
std::string ForwardName(const ForwardedFax& fax);

// Writes the fax as FOLDER/ForwardName.pdf (a number added when the name is
// taken) and returns its path.
std::string SaveFaxPdf(const ForwardedFax& fax, const std::string& folder);

// Sends the mail; pdfPath is the attachment.
void SendFaxMail(const MailSettings& mail, const ForwardedFax& fax, const std::string& pdfPath,
                 const std::string& firstPageText);

} // namespace archive
