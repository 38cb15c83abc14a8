#pragma once
// Test bench: a Class2Modem whose DTE side the test scripts, with its line
// wired to a spandsp fax terminal in the same process.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/class2/Class2Modem.h"
#include "tests/sim/class2/MhCodec.h"

struct fax_state_s;

namespace tolvane::sim::test {

// A page of rows, one bit per pixel, most significant bit leftmost.
using Page = std::vector<mh::Row>;

// A fresh path in the temporary folder.
std::string tempFile(const std::string& name);
Page makeTestPage(int width, int rows, int seed);
// Writes pages to a TIFF file as a fax machine would send them.
void writeTiff(const std::string& path, const std::vector<Page>& pages, int width, bool fine);
// Reads every page of a TIFF file through libtiff.
std::vector<Page> readTiff(const std::string& path);
// Decodes modem page data through libtiff's own fax decoder.
Page decodeWithLibtiff(const std::vector<uint8_t>& mh, int width, int rows, bool msbFirst);

class FaxBench {
public:
  enum class Remote { Receiver, Sender, Silent };

  FaxBench(Class2Dialect dialect, Remote remote, const std::string& remoteFile,
           Class2Options options = {});
  ~FaxBench();

  Class2Modem& modem() { return m_modem; }
  // Everything the modem sent to the DTE so far (and the unread rest).
  const std::string& dteOutput() const { return m_out; }
  std::string takeOutput();

  // Runs the line until the DTE output contains text (or the time is up).
  bool waitFor(const std::string& text, double seconds = 120);
  void run(double seconds);
  void sendData(const std::vector<uint8_t>& bytes);
  int remoteCompletion() const { return m_completion; }
  bool remoteDone() const { return m_done; }
  bool hungUp() const { return m_hungUp; }
  std::string dialled() const { return m_dialled; }

  // What happens on the line after ATD / ATA.
  Class2Modem::Event dialOutcome = Class2Modem::Event::Connected;

private:
  void step();
  Class2Modem m_modem;
  Remote m_remote;
  std::string m_remoteFile;
  fax_state_s* m_fax = nullptr;
  std::string m_out;
  size_t m_read = 0;
  std::string m_dialled;
  bool m_lineUp = false;
  bool m_hungUp = false;
  bool m_done = false;
  int m_completion = -1;
};

} // namespace tolvane::sim::test
