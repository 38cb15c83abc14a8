#pragma once
// The test mail server (smtp_server.py: STARTTLS with a certificate made by
// openssl here, login "fax" / "secret") as a child process, and what it kept.

#include <string>
#include <sys/types.h>

namespace archivetest {

// Makes dir/cert.pem and dir/key.pem for 127.0.0.1; false when openssl fails.
bool MakeCertificate(const std::string& dir);

class MailServer {
public:
  // Keeps each message in dir/mail/N/ (session.txt, body.txt, attachments).
  MailServer(int port, const std::string& dir);
  ~MailServer();
  MailServer(const MailServer&) = delete;
  MailServer& operator=(const MailServer&) = delete;

private:
  pid_t m_pid = -1;
};

// The pages of a PDF file by poppler's pdfinfo; -1 when it is not one.
int PdfPages(const std::string& pdf);

std::string ReadFile(const std::string& path);

} // namespace archivetest
