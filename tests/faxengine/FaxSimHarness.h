#pragma once
// The simulated modem as a child process with its own folder, documents made
// with the converter, TIFF pages read with libtiff, and one fax call of a
// component run on a plain event loop until it finishes.

#include "faxengine/TFxAbstractFax.h"
#include "serial/TFxComPort.h"

#include <functional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace faxtest {

class SimModem {
public:
  // `args` follow the program name ("@DIR@" stands for Dir()); the
  // modem's pty is linked at Link().
  SimModem(const std::string& modemModel, const std::vector<std::string>& args, int speed = 4);
  ~SimModem();
  bool Started() const { return m_pid > 0; }
  const std::string& Dir() const { return m_dir; }
  std::string Link() const { return m_dir + "/com1"; }
  // The pty the link points to: the port's lock file is named after it.
  std::string Device() const;
  std::string Log() const;
  // The port opens again and the modem answers a plain AT: it is back in
  // command mode. Closing a port stands for dropping DTR, which a pty cannot
  // carry: the simulator resets a modem whose program went away, and is
  // given a moment to notice before the port is opened again.
  bool ModemAnswers() const;
  // Kills the simulator at once: its pseudo-terminals close under the
  // program using them, as a USB modem does when it is unplugged.
  void Kill();

private:
  std::string m_dir;
  pid_t m_pid = -1;
};

struct CallOutcome {
  bool finished = false;
  int finishCode = 1;
  std::vector<int> errors;
  std::vector<int> logs;
  std::set<int> statuses;
  std::vector<int> statusSequence; // the code of every Status event, in order
  int lastEvents = 0;              // Status events with Last set
};

// Runs `begin` and the event loop until Finish, or aborts after `seconds`.
// `tick` runs on the loop every `tickMs` milliseconds (may abort the call);
// short states are only seen with a short tick. The port is opened on
// `device` unless it is open already, and closed at the end unless
// `keepOpen`.
CallOutcome RunCall(TFxCustomAbstractFax& fax, TFxComPort& port, const std::string& device,
                    const std::function<void()>& begin, int seconds,
                    const std::function<void(TFxCustomAbstractFax&)>& tick = {}, int tickMs = 100,
                    bool keepOpen = false);

// A converted APF document DIR/STEM.apf of `pages` pages of `lines` text
// lines each (the text names the stem, so different documents differ), at
// standard or fine resolution.
std::string MakeApf(const std::string& dir, int pages, int lines, const std::string& stem = "doc",
                    bool fine = false);
// The rows of a page header line as the sender draws it (small fax font,
// standard resolution, 1728 pixels).
std::vector<std::vector<uint8_t>> HeaderRows(const std::string& text);
bool BlankRow(const std::vector<uint8_t>& row);
// The TIFF files in `dir`, sorted by name (none if it does not exist).
std::vector<std::string> TiffsIn(const std::string& dir);
// Rows of each page of an APF file, decoded by the image library.
std::vector<std::vector<std::vector<uint8_t>>> ApfRows(const std::string& path);
// Rows of each page of a TIFF file, decoded by libtiff (1 = black).
std::vector<std::vector<std::vector<uint8_t>>> TiffRows(const std::string& path);
// Faults in the end of each received page of an APF file, one line each
// (empty when none): a page must end with its RTC, six EOL codes and
// nothing after them but the zero bits that fill the RTC's last byte; and
// libtiff, given each page's coded data with as many rows as the data has
// EOL codes before its RTC (as a reader that goes by the codes counts
// them), must decode it without a warning into the rows the image library
// finds.
std::string ReceivedPageEndFaults(const std::string& apf);
// Writes a G3 TIFF of the given pages (1728 pixels, standard resolution).
void WriteTiff(const std::string& path,
               const std::vector<std::vector<std::vector<uint8_t>>>& pages);

} // namespace faxtest
