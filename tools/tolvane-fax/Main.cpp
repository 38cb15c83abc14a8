// tolvane-fax: converts documents into APF fax files, describes them, and
// exports their pages as images, using the same libraries as the program.
#include "platform/FxErrors.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: tolvane-fax COMMAND ...\n"
    "  convert IN OUT.apf [--fine|--normal] [--wide] [--type text]\n"
    "          [--halftone auto|threshold|diffuse] [--station TEXT]\n"
    "          [--left PIXELS] [--top ROWS] [--font standard|small]\n"
    "          [--lines-per-page N] [--tab N]\n"
    "          IN: PDF, PNG, JPEG, TIFF (every page), BMP, PCX, DCX, text, or\n"
    "          RTF/ODT/DOCX/DOC through LibreOffice; the kind is read from the content\n"
    "  info FILE.apf\n"
    "  export FILE.apf OUT [--format png|pbm|tiff] [--page N] [--as-coded]\n"
    "          OUT may hold %d for the page number; without it a TIFF gets every\n"
    "          page, other formats need --page or a one-page file.\n"
    "  send DEVICE NUMBER [FILE.apf|FILE.txt] [--cover FILE] [--header TEXT]\n"
    "          [--station ID] [--class 1|2|2.0|detect] [--speed BPS] [--prefix P]\n"
    "          [--pulse] [--blind] [--attempts N] [--retry-wait S] [--dial-wait S]\n"
    "          [--sender T] [--recipient T] [--title T] [--history FILE]\n"
    "          [--trace FILE] [--timeout S] [--fine] [--abort-no-connect]\n"
    "          [--no-ecm] [--no-2d]\n"
    "  receive DEVICE FOLDER [--one] [--rings N] [--station ID] [--class ...]\n"
    "          [--speed BPS] [--history FILE] [--trace FILE] [--timeout S]\n"
    "          [--no-ecm] [--no-2d]\n"
    "          send and receive use error correction (ECM) and MR/MMR coding\n"
    "          when the other side has them; --no-ecm and --no-2d leave them out\n"
    "  ocr FILE.apf [--lang eng]          the text of every page\n"
    "  search WORDS... [--data-dir DIR]   received and sent faxes holding all the words\n"
    "          (exit code 1 when none does)\n"
    "  print-queue [--name QUEUE] [--ppd FILE] [--remove]\n"
    "          sets up the printing system's fax queue (default Tolvane-Fax) that\n"
    "          hands printed jobs to Tolvane; run it as root\n";

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "convert")
      return cli::convertCommand(args);
    if (command == "info")
      return cli::infoCommand(args);
    if (command == "export")
      return cli::exportCommand(args);
    if (command == "send")
      return cli::sendCommand(args);
    if (command == "receive")
      return cli::receiveCommand(args);
    if (command == "ocr")
      return cli::ocrCommand(args);
    if (command == "search")
      return cli::searchCommand(args);
    if (command == "print-queue")
      return cli::printQueueCommand(args);
    if (command == "help" || command == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    throw cli::UsageError("unknown command " + command);
  } catch (const cli::UsageError& e) {
    std::fprintf(stderr, "tolvane-fax: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    const int code = ErrorCodeOf(e);
    if (code == ecUnknownException)
      std::fprintf(stderr, "tolvane-fax: %s\n", e.what());
    else
      std::fprintf(stderr, "tolvane-fax: %s (%d)\n", ErrorText(code).c_str(), code);
    return 1;
  }
}
