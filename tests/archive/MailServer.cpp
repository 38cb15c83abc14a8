#include "MailServer.h"
#include "tests/support/LoopbackPort.h"

#include "../faxview/FaxFiles.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace archivetest {

bool MakeCertificate(const std::string& dir) {
  int status = -1;
  faxtest::capture("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                   "-addext subjectAltName=IP:127.0.0.1 -keyout '" + dir + "key.pem' -out '" +
                       dir + "cert.pem' 2>&1",
                   &status);
  return status == 0;
}

MailServer::MailServer(int port, const std::string& dir) {
  std::filesystem::create_directories(dir + "mail");
  m_pid = ::fork();
  if (m_pid == 0) {
    const std::string script = TOLVANE_SOURCE_DIR "/tests/archive/smtp_server.py";
    const std::string portText = std::to_string(port);
    const std::string cert = dir + "cert.pem", key = dir + "key.pem", out = dir + "mail";
    // Debian's python3, which has the aiosmtpd package, whatever comes first on PATH.
    ::execl("/usr/bin/python3", "python3", script.c_str(), portText.c_str(), cert.c_str(),
            key.c_str(), out.c_str(), nullptr);
    ::_exit(127);
  }
}

MailServer::~MailServer() {
  ::kill(m_pid, SIGTERM);
  ::waitpid(m_pid, nullptr, 0);
}

int PdfPages(const std::string& pdf) {
  int status = 0;
  const std::string info = faxtest::capture("pdfinfo '" + pdf + "' 2>&1", &status);
  const auto at = info.find("Pages:");
  return status == 0 && at != std::string::npos ? std::stoi(info.substr(at + 6)) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

} // namespace archivetest
