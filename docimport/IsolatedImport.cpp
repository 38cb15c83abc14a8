// Decoding in a child process. Poppler, libtiff, libpng and libjpeg are large
// C libraries fed with files from anywhere; a fault in one of them on a
// hostile file must not take the open fax editor and its unsaved work with
// it, and a file that makes a library allocate or loop without end must not
// stall the program. The child decodes with its address space and processor
// time limited and sends the finished fax pages back through a pipe.

#include "docimport/DocumentImport.h"
#include "platform/FxErrors.h"
#include "platform/PipeIo.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace docimport {

// Weak: linking this file does not pull the readers into a program.
void importPages(const std::string& path, const ImportOptions& options, const PageSink& sink)
    __attribute__((weak));

namespace {

constexpr rlim_t kChildMemory = rlim_t(1) << 30; // 1 GB
constexpr rlim_t kChildSeconds = 120;
constexpr int kPageWaitMs = 150 * 1000;

// Records in the pipe: a kind byte, then a fixed header and the payload.
enum : uint8_t { kPageRecord = 1, kErrorRecord = 2, kDoneRecord = 3 };
struct RecordHeader {
  uint8_t kind = 0;
  uint8_t fine = 0;
  int32_t code = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t bytes = 0;
};

// Each part of a record is waited for at most kPageWaitMs: a child that
// stalls is given up on.
bool readAll(int fd, void* data, std::size_t size) {
  return platform::readAll(fd, data, size, kPageWaitMs);
}

using platform::writeAll;

bool underSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#endif
#endif
  return false;
}

using ImportPagesFn = void (*)(const std::string&, const ImportOptions&, const PageSink&);

// The readers themselves. Programs that convert documents link them; the
// desktop program does not, so that poppler, libtiff, libpng and libjpeg
// (with everything they load) cost nothing at its start, and its child
// process loads them from the module instead. Null when neither is there.
ImportPagesFn findReaders() {
  if (&importPages != nullptr)
    return &importPages;
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  const std::string dir = n > 0 ? std::string(exe, std::size_t(n)) : std::string();
  const std::string here = dir.substr(0, dir.rfind('/') + 1);
  for (const std::string& candidate : {here + "libtolvane_readers.so",
                                       here + "../" TOLVANE_LIBDIR "/tolvane/libtolvane_readers.so",
                                       std::string(TOLVANE_READERS_BUILD_PATH)}) {
    if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL))
      if (void* fn = ::dlsym(module, "tolvane_import_pages"))
        return reinterpret_cast<ImportPagesFn>(fn);
  }
  return nullptr;
}

[[noreturn]] void runChild(int fd, const std::string& path, const ImportOptions& options) {
  // An address-space limit does not fit a sanitizer's shadow memory.
  if (!underSanitizer()) {
    const rlimit memory{kChildMemory, kChildMemory};
    ::setrlimit(RLIMIT_AS, &memory);
  }
  const rlimit cpu{kChildSeconds, kChildSeconds + 5};
  ::setrlimit(RLIMIT_CPU, &cpu);
  // Every page allocates and frees bitmaps of a few megabytes; kept in the
  // heap instead of being mapped and unmapped each time, they cost no fresh
  // page faults and clearing on the next page.
  ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
  RecordHeader h;
  std::string message;
  try {
    const ImportPagesFn readers = findReaders();
    if (!readers)
      throw ImportError(ecBadGraphicsFormat,
                        "The document readers of this program are missing (libtolvane_readers.so); "
                        "reinstall the program.");
    readers(path, options, [&](FaxPage&& page) {
      RecordHeader p{
          kPageRecord,         uint8_t(page.fine),   0,
          page.bitmap.width(), page.bitmap.height(), uint32_t(page.bitmap.bits().size())};
      if (!writeAll(fd, &p, sizeof p) || !writeAll(fd, page.bitmap.bits().data(), p.bytes))
        ::_exit(3);
    });
    h.kind = kDoneRecord;
  } catch (const ImportError& e) {
    h = {kErrorRecord, 0, e.code(), 0, 0, 0};
    message = e.what();
  } catch (const std::bad_alloc&) {
    h = {kErrorRecord, 0, ecOutOfMemory, 0, 0, 0};
    message = "The document needs more memory than a fax page is worth: " + path;
  } catch (const std::exception& e) {
    h = {kErrorRecord, 0, ecBadGraphicsFormat, 0, 0, 0};
    message = std::string("The document cannot be read (") + e.what() + "): " + path;
  }
  h.bytes = uint32_t(message.size());
  writeAll(fd, &h, sizeof h);
  writeAll(fd, message.data(), message.size());
  ::_exit(0);
}

std::string endText(int status, const std::string& path) {
  if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
    return "Reading the document took too long and was stopped: " + path;
  if (WIFSIGNALED(status))
    return "The document could not be read; its reader failed (signal " +
           std::to_string(WTERMSIG(status)) + "): " + path;
  return "The document could not be read; its reader stopped: " + path;
}

// Reads the child's records into the sink until it is done; false when the
// pipe ended or stalled before a final record.
bool takeRecords(int fd, const PageSink& sink, ImportError& failure) {
  for (;;) {
    RecordHeader h;
    if (!readAll(fd, &h, sizeof h))
      return false;
    if (h.kind == kDoneRecord)
      return true;
    if (h.kind == kErrorRecord) {
      std::string message(std::min<uint32_t>(h.bytes, 4096), '\0');
      if (!readAll(fd, message.data(), message.size()))
        return false;
      failure = ImportError(h.code, message);
      return true;
    }
    if (h.kind != kPageRecord || h.width <= 0 || h.width > 4096 || h.height <= 0 ||
        h.height > 100000)
      return false;
    FaxPage page;
    page.fine = h.fine != 0;
    page.bitmap = faximage::PageBitmap(h.width, h.height);
    if (h.bytes != page.bitmap.bits().size() || !readAll(fd, page.bitmap.bits().data(), h.bytes))
      return false;
    sink(std::move(page));
  }
}

} // namespace

void importPagesIsolated(const std::string& path, const ImportOptions& options,
                         const PageSink& sink) {
  int fds[2];
  if (::pipe(fds) != 0)
    throw ImportError(ecTooManyFiles, "No pipe for reading the document.");
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw ImportError(ecOutOfMemory, "No process for reading the document.");
  }
  if (pid == 0) {
    ::close(fds[0]);
    runChild(fds[1], path, options);
  }
  ::close(fds[1]);
  // Room for a whole page or two in the pipe: fewer trips between the two
  // processes, which matters on a busy machine.
  ::fcntl(fds[0], F_SETPIPE_SZ, 1 << 20);
  ImportError failure(0, "");
  bool complete = false;
  try {
    complete = takeRecords(fds[0], sink, failure);
  } catch (...) {
    ::kill(pid, SIGKILL);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    throw;
  }
  if (!complete)
    ::kill(pid, SIGKILL);
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!complete)
    throw ImportError(ecBadGraphicsFormat, endText(status, path));
  if (failure.code() != 0)
    throw failure;
}

} // namespace docimport
