#include "platform/FxErrors.h"

#include <array>
#include <cerrno>
#include <new>
#include <utility>

namespace {

using Thrower = void (*)(int code, const std::string& message);

template <class E> [[noreturn]] void throwAs(int code, const std::string& message) {
  throw E(code, message);
}

struct CodeEntry {
  int code;
  const char* text;
  Thrower raise; // null: no class of its own
};

// Every code with a text, and the class raised for it.
const CodeEntry kCodes[] = {
    {ecBadHandle, "Bad handle passed to com function", throwAs<EBadHandle>},
    {ecBadArgument, "Bad argument passed to function", throwAs<EBadArgument>},
    {ecGotQuitMsg, "Got quit message", throwAs<EGotQuitMsg>},
    {ecBufferTooBig, "Terminal buffer greater than 65521", throwAs<EBufferTooBig>},
    {ecPortNotAssigned, "ComPort component not assigned", throwAs<EPortNotAssigned>},
    {ecInternal, "Internal error creating window class", throwAs<EInternal>},
    {ecModemNotAssigned, "Modem component not assigned", throwAs<EModemNotAssigned>},
    {ecPhonebookNotAssigned, "Phonebook component not assigned", throwAs<EPhonebookNotAssigned>},
    {ecCannotUseWithWinSock, "Component not compatible with WinSock",
     throwAs<ECannotUseWithWinSock>},

    {ecBadId, "ie_BadId - Specified comport doesn't exist", throwAs<EBadId>},
    {ecBaudRate, "ie_Baudrate - unsupported baud rate", throwAs<EBaudRate>},
    {ecByteSize, "ie_Bytesize - invalid byte size", throwAs<EByteSize>},
    {ecDefault, "ie_Default - error in default parameters", throwAs<EDefault>},
    {ecHardware, "ie_Hardware - Specified comport in use", throwAs<EHardware>},
    {ecMemory, "ie_Memory - unable to allocate queues", throwAs<EMemory>},
    {ecCommNotOpen, "ie_NOpen - device not open", throwAs<ECommNotOpen>},
    {ecAlreadyOpen, "ie_Open - device already open", throwAs<EAlreadyOpen>},
    {ecNoHandles, "No more handles, can't open port", throwAs<ENoHandles>},
    {ecNoTimers, "No timers available", throwAs<ENoTimers>},
    {ecNoPortSelected, "The ComNumber property of the TFxComPort has not been set",
     throwAs<ENoPortSelected>},

    {ecNullApi, "No device layer specified", throwAs<ENullApi>},
    {ecNotSupported, "Function not supported by driver", throwAs<ENotSupported>},
    {ecRegisterHandlerFailed, "EnableCommNotification failed", throwAs<ERegisterHandlerFailed>},
    {ecPutBlockFail, "Failed to put entire block", throwAs<EPutBlockFail>},
    {ecGetBlockFail, "Failed to get entire block", throwAs<EGetBlockFail>},
    {ecOutputBufferTooSmall, "Output buffer too small for block", throwAs<EOutputBufferTooSmall>},
    {ecBufferIsEmpty, "Buffer is empty", throwAs<EBufferIsEmpty>},
    {ecTracingNotEnabled, "Tracing not enabled", throwAs<ETracingNotEnabled>},
    {ecLoggingNotEnabled, "Logging not enabled", throwAs<ELoggingNotEnabled>},

    {ecModemNotStarted, "StartModem has not been called", throwAs<EModemNotStarted>},
    {ecModemBusy, "Modem is busy elsewhere", throwAs<EModemBusy>},
    {ecModemNotDialing, "Modem is not currently dialing", throwAs<EModemNotDialing>},
    {ecNotDialing, "Dialer is not dialing", throwAs<ENotDialing>},
    {ecAlreadyDialing, "Dialer is already dialing", throwAs<EAlreadyDialing>},
    {ecModemNotResponding, "Modem is not responding", throwAs<EModemNotResponding>},
    {ecModemRejectedCommand, "Invalid command sent to modem", throwAs<EModemRejectedCommand>},
    {ecModemStatusMismatch, "Wrong modem status requested", throwAs<EModemStatusMismatch>},

    {ecNoMoreTriggers, "No more trigger slots", throwAs<ENoMoreTriggers>},
    {ecTriggerTooLong, "Data trigger too long", throwAs<ETriggerTooLong>},
    {ecBadTriggerHandle, "Bad trigger handle", throwAs<EBadTriggerHandle>},

    {ecCancelRequested, "Cancel requested", nullptr},
    {ecTimeout, "Fatal time out", throwAs<EProtocol>},
    {ecTooManyErrors, "Too many errors", throwAs<EProtocol>},
    {ecSequenceError, "Sequence error", throwAs<EProtocol>},
    {ecNoFilename, "No filename specified in protocol receive", nullptr},
    {ecFileRejected, "File was rejected", nullptr},

    {ecKeyTooLong, "Key string too long", throwAs<EKeyTooLong>},
    {ecDataTooLarge, "Data record too large", throwAs<EDataTooLarge>},
    {ecNoFieldsDefined, "No fields defined in database", throwAs<EInternal>},
    {ecIniWrite, "Error writing INI database", throwAs<EIniWrite>},
    {ecIniRead, "Error reading INI database", throwAs<EIniRead>},
    {ecNoIndexKey, "No index key defined", throwAs<EInternal>},
    {ecRecordExists, "Record already exists", throwAs<ERecordExists>},
    {ecRecordNotFound, "Record not found", throwAs<ERecordNotFound>},
    {ecDatabaseFull, "Database is full", throwAs<EDatabaseFull>},
    {ecDatabaseEmpty, "Database is empty", throwAs<EDatabaseEmpty>},
    {ecBadFieldList, "Bad field list", throwAs<EBadFieldList>},
    {ecNoIdString, "No ID string defined", throwAs<EInternal>},
    {ecBadFieldForIndex, "Bad field for index", throwAs<EBadFieldForIndex>},
    {ecIniLast, "Database not open", nullptr},

    {ecFaxBadFormat, "File is not an APF file", throwAs<EFaxBadFormat>},
    {ecBadGraphicsFormat, "Unsupported graphics file format", throwAs<EBadGraphicsFormat>},
    {ecConvertAbort, "User aborted fax conversion", throwAs<EConvertAbort>},
    {ecUnpackAbort, "User aborted fax unpack", throwAs<EUnpackAbort>},
    {ecCantMakeBitmap, "CreateBitmapIndirect API failure", throwAs<ECantMakeBitmap>},
    {ecNoImageLoaded, "no image loaded into viewer", nullptr},
    {ecNoImageBlockMarked, "no block of image marked", nullptr},
    {ecFontFileNotFound, "Fax font resource not found", nullptr},

    {ecFaxBadMachine, "Fax incompatible with remote fax", throwAs<EFaxBadMachine>},
    {ecFaxBadModemResult, "Bad response from modem", throwAs<EFaxBadModemResult>},
    {ecFaxTrainError, "Modems failed to train", throwAs<EFaxTrainError>},
    {ecFaxInitError, "Error while initializing modem", throwAs<EFaxInitError>},
    {ecFaxBusy, "Called fax number was busy", throwAs<EFaxBusy>},
    {ecFaxVoiceCall, "Called fax number answered with voice", throwAs<EFaxVoiceCall>},
    {ecFaxDataCall, "Incoming data call", throwAs<EFaxDataCall>},
    {ecFaxNoDialTone, "No dial tone", throwAs<EFaxNoDialTone>},
    {ecFaxNoCarrier, "Failed to connect to remote fax", throwAs<EFaxNoCarrier>},
    {ecFaxSessionError, "Fax failed in mid-session", throwAs<EFaxSessionError>},
    {ecFaxPageError, "Fax failed at page end", throwAs<EFaxPageError>},
    {ecFaxMixedResolution, "Multiple resolutions per session not supported", nullptr},
    {ecFaxModemGone, "Modem disconnected from port", throwAs<EFaxModemGone>},
};

// The runtime's file and device error texts, by positive error number.
struct IoEntry {
  int number;
  const char* text;
};

const IoEntry kIoTexts[] = {
    {2, "File not found"},
    {3, "Path not found"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {6, "Invalid file handle"},
    {8, "Insufficient memory"},
    {12, "Invalid file access code"},
    {15, "Invalid drive number"},
    {16, "Cannot remove current directory"},
    {17, "Cannot rename across drives"},
    {18, "No more files"},
    {100, "Disk read error"},
    {101, "Disk write error"},
    {102, "File not assigned"},
    {103, "File not open"},
    {104, "File not open for input"},
    {105, "File not open for output"},
    {106, "Invalid numeric format"},
    {150, "Disk is write-protected"},
    {151, "Bad drive request struct length"},
    {152, "Drive not ready"},
    {154, "CRC error in data"},
    {156, "Disk seek error"},
    {157, "Unknown media type"},
    {158, "Sector not found"},
    {159, "Printer out of paper"},
    {160, "Device write fault"},
    {161, "Device read fault"},
    {162, "Hardware failure"},
};

const CodeEntry* findCode(int code) {
  for (const CodeEntry& e : kCodes)
    if (e.code == code)
      return &e;
  return nullptr;
}

const char* ioText(int number) {
  for (const IoEntry& e : kIoTexts)
    if (e.number == number)
      return e.text;
  return nullptr;
}

bool isTapi(int code) {
  return code <= ecTapiFirst && code >= ecTapiLast;
}

// One thrower per telephony code so each code raises its own class.
template <int... I> constexpr auto makeTapiThrowers(std::integer_sequence<int, I...>) {
  return std::array<Thrower, sizeof...(I)>{throwAs<ETapiError<ecTapiFirst - I>>...};
}

const auto kTapiThrowers =
    makeTapiThrowers(std::make_integer_sequence<int, ecTapiFirst - ecTapiLast + 1>{});

} // namespace

std::string ErrorText(int code) {
  if (code == 0)
    return "OK";
  if (code <= -2 && code >= -162) {
    if (const char* t = ioText(-code))
      return t;
    return "I/O error " + std::to_string(-code);
  }
  if (isTapi(code))
    return "Telephony error " + std::to_string(-code);
  if (const CodeEntry* e = findCode(code))
    return e->text;
  return "Error " + std::to_string(code);
}

int IoErrorFromErrno(int err, bool writing) {
  switch (err) {
  case ENOENT:
    return ecFileNotFound;
  case ENOTDIR:
  case ENAMETOOLONG:
    return ecPathNotFound;
  case EMFILE:
  case ENFILE:
    return ecTooManyFiles;
  case EACCES:
  case EPERM:
  case EISDIR:
  case EEXIST:
    return ecAccessDenied;
  case EBADF:
    return ecInvalidHandle;
  case ENOMEM:
    return ecOutOfMemory;
  case EROFS:
    return ecWriteProtected;
  case ENOSPC:
  case EFBIG:
  case EDQUOT:
    return ecDiskFull;
  case ENXIO:
  case ENODEV:
    return ecDeviceNotReady;
  default:
    return writing ? ecDiskFull : ecDiskRead;
  }
}

void RaiseFxError(int code) {
  if (code >= 0)
    return;
  if (code == ecOutOfMemory)
    throw EOutOfMemory();
  if (code >= -162 && code <= -2)
    throw EInOutError(-code, ErrorText(code));
  if (isTapi(code))
    kTapiThrowers[ecTapiFirst - code](code, ErrorText(code));
  if (const CodeEntry* e = findCode(code); e && e->raise)
    e->raise(code, e->text);
  throw EFxException(code, "FX exception");
}

int ErrorCodeOf(const std::exception& e) {
  if (auto* fx = dynamic_cast<const EFxException*>(&e))
    return fx->ErrorCode();
  if (auto* io = dynamic_cast<const EInOutError*>(&e))
    return -io->ErrorCode();
  if (dynamic_cast<const EOutOfMemory*>(&e) || dynamic_cast<const std::bad_alloc*>(&e))
    return ecOutOfMemory;
  return ecUnknownException;
}

int ErrorCodeOf(std::exception_ptr e) {
  if (!e)
    return ecOK;
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    return ErrorCodeOf(ex);
  } catch (...) {
    return ecUnknownException;
  }
}
