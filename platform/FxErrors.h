#pragma once
// Program-wide error codes, their message texts and the exception classes that
// components raise for them. Low layers return 0 or a negative code; the
// components above turn negative codes into exceptions with RaiseFxError().

#include <exception>
#include <stdexcept>
#include <string>

// ---------------------------------------------------------------- codes
// Runtime file and device errors (-2 .. -162).
constexpr int ecOK = 0;
constexpr int ecFileNotFound = -2;
constexpr int ecPathNotFound = -3;
constexpr int ecTooManyFiles = -4;
constexpr int ecAccessDenied = -5;
constexpr int ecInvalidHandle = -6;
constexpr int ecOutOfMemory = -8;
constexpr int ecInvalidAccessCode = -12;
constexpr int ecInvalidDrive = -15;
constexpr int ecNoMoreFiles = -18;
constexpr int ecDiskRead = -100;
constexpr int ecDiskFull = -101;
constexpr int ecNotAssigned = -102;
constexpr int ecNotOpen = -103;
constexpr int ecNotOpenInput = -104;
constexpr int ecNotOpenOutput = -105;
constexpr int ecWriteProtected = -150;
constexpr int ecDeviceNotReady = -152;
constexpr int ecDeviceWrite = -160;
constexpr int ecDeviceRead = -161;
constexpr int ecHardwareFailure = -162;

// General (-1001 .. -1009).
constexpr int ecBadHandle = -1001;
constexpr int ecBadArgument = -1002;
constexpr int ecGotQuitMsg = -1003;
constexpr int ecBufferTooBig = -1004;
constexpr int ecPortNotAssigned = -1005;
constexpr int ecInternal = -1006;
constexpr int ecModemNotAssigned = -1007;
constexpr int ecPhonebookNotAssigned = -1008;
constexpr int ecCannotUseWithWinSock = -1009;

// Opening a port (-2001 .. -2011).
constexpr int ecBadId = -2001;
constexpr int ecBaudRate = -2002;
constexpr int ecByteSize = -2003;
constexpr int ecDefault = -2004;
constexpr int ecHardware = -2005;
constexpr int ecMemory = -2006;
constexpr int ecCommNotOpen = -2007;
constexpr int ecAlreadyOpen = -2008;
constexpr int ecNoHandles = -2009;
constexpr int ecNoTimers = -2010;
constexpr int ecNoPortSelected = -2011;

// Serial I/O (-3001 .. -3009).
constexpr int ecNullApi = -3001;
constexpr int ecNotSupported = -3002;
constexpr int ecRegisterHandlerFailed = -3003;
constexpr int ecPutBlockFail = -3004;
constexpr int ecGetBlockFail = -3005;
constexpr int ecOutputBufferTooSmall = -3006;
constexpr int ecBufferIsEmpty = -3007;
constexpr int ecTracingNotEnabled = -3008;
constexpr int ecLoggingNotEnabled = -3009;

// Modem (-4001 .. -4008).
constexpr int ecModemNotStarted = -4001;
constexpr int ecModemBusy = -4002;
constexpr int ecModemNotDialing = -4003;
constexpr int ecNotDialing = -4004;
constexpr int ecAlreadyDialing = -4005;
constexpr int ecModemNotResponding = -4006;
constexpr int ecModemRejectedCommand = -4007;
constexpr int ecModemStatusMismatch = -4008;

// Triggers (-5001 .. -5003).
constexpr int ecNoMoreTriggers = -5001;
constexpr int ecTriggerTooLong = -5002;
constexpr int ecBadTriggerHandle = -5003;

// Protocol (-6005 .. -6011).
constexpr int ecCancelRequested = -6005;
constexpr int ecTimeout = -6006;
constexpr int ecTooManyErrors = -6008;
constexpr int ecSequenceError = -6009;
constexpr int ecNoFilename = -6010;
constexpr int ecFileRejected = -6011;

// INI database (-7001 .. -7014); unused by the program but part of the map.
constexpr int ecKeyTooLong = -7001;
constexpr int ecDataTooLarge = -7002;
constexpr int ecNoFieldsDefined = -7003;
constexpr int ecIniWrite = -7004;
constexpr int ecIniRead = -7005;
constexpr int ecNoIndexKey = -7006;
constexpr int ecRecordExists = -7007;
constexpr int ecRecordNotFound = -7008;
constexpr int ecDatabaseFull = -7009;
constexpr int ecDatabaseEmpty = -7010;
constexpr int ecBadFieldList = -7011;
constexpr int ecNoIdString = -7012;
constexpr int ecBadFieldForIndex = -7013;
constexpr int ecIniLast = -7014;

// Fax images (-8001 .. -8005, -8050 .. -8052).
constexpr int ecFaxBadFormat = -8001;
constexpr int ecBadGraphicsFormat = -8002;
constexpr int ecConvertAbort = -8003;
constexpr int ecUnpackAbort = -8004;
constexpr int ecCantMakeBitmap = -8005;
constexpr int ecNoImageLoaded = -8050;
constexpr int ecNoImageBlockMarked = -8051;
constexpr int ecFontFileNotFound = -8052;

// Fax calls (-8070 .. -8083).
constexpr int ecFaxBadMachine = -8070;
constexpr int ecFaxBadModemResult = -8071;
constexpr int ecFaxTrainError = -8072;
constexpr int ecFaxInitError = -8073;
constexpr int ecFaxBusy = -8074;
constexpr int ecFaxVoiceCall = -8075;
constexpr int ecFaxDataCall = -8076;
constexpr int ecFaxNoDialTone = -8077;
constexpr int ecFaxNoCarrier = -8078;
constexpr int ecFaxSessionError = -8079;
constexpr int ecFaxPageError = -8080;
constexpr int ecFaxMixedResolution = -8082;
constexpr int ecFaxModemGone = -8083; // the modem vanished from its port

// Telephony (-13801 .. -13934).
constexpr int ecTapiFirst = -13801;
constexpr int ecTapiLast = -13934;

// Reverse map result for exceptions that carry no code.
constexpr int ecUnknownException = -9999;

// Message text of a code; 0 gives "OK".
std::string ErrorText(int code);

// Negative runtime I/O code for a POSIX errno value; `writing` tells read
// failures (-100) from write failures (-101) when errno is only EIO.
int IoErrorFromErrno(int err, bool writing = false);

// ------------------------------------------------------------ exceptions
// The framework's base exception: a message and nothing else.
class Exception : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Out of memory (code -8).
class EOutOfMemory : public Exception {
public:
  EOutOfMemory() : Exception(ErrorText(ecOutOfMemory)) {}
};

// Runtime file and device error; carries the positive runtime error number.
class EInOutError : public Exception {
public:
  EInOutError(int errorCode, const std::string& message) : Exception(message), m_code(errorCode) {}
  int ErrorCode() const { return m_code; }

private:
  int m_code;
};

// Root of the fax family; carries the negative code.
class EFxException : public Exception {
public:
  EFxException(int errorCode, const std::string& message) : Exception(message), m_code(errorCode) {}
  int ErrorCode() const { return m_code; }

private:
  int m_code;
};

#define TOLVANE_FX_EXCEPTION(Name, Base)                                                           \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    using Base::Base;                                                                              \
  };

// Groups.
TOLVANE_FX_EXCEPTION(EGeneral, EFxException)
TOLVANE_FX_EXCEPTION(EOpenComm, EFxException)
TOLVANE_FX_EXCEPTION(ESerialIO, EFxException)
TOLVANE_FX_EXCEPTION(EModem, EFxException)
TOLVANE_FX_EXCEPTION(ETrigger, EFxException)
TOLVANE_FX_EXCEPTION(EProtocol, EFxException)
TOLVANE_FX_EXCEPTION(EINI, EFxException)
TOLVANE_FX_EXCEPTION(EFax, EFxException)
TOLVANE_FX_EXCEPTION(ETapi, EFxException)
TOLVANE_FX_EXCEPTION(EInternal, EFxException)

// General.
TOLVANE_FX_EXCEPTION(EBadHandle, EGeneral)
TOLVANE_FX_EXCEPTION(EBadArgument, EGeneral)
TOLVANE_FX_EXCEPTION(EGotQuitMsg, EGeneral)
TOLVANE_FX_EXCEPTION(EBufferTooBig, EGeneral)
TOLVANE_FX_EXCEPTION(EPortNotAssigned, EGeneral)
TOLVANE_FX_EXCEPTION(EModemNotAssigned, EGeneral)
TOLVANE_FX_EXCEPTION(EPhonebookNotAssigned, EGeneral)
TOLVANE_FX_EXCEPTION(ECannotUseWithWinSock, EGeneral)

// Opening a port.
TOLVANE_FX_EXCEPTION(EBadId, EOpenComm)
TOLVANE_FX_EXCEPTION(EBaudRate, EOpenComm)
TOLVANE_FX_EXCEPTION(EByteSize, EOpenComm)
TOLVANE_FX_EXCEPTION(EDefault, EOpenComm)
TOLVANE_FX_EXCEPTION(EHardware, EOpenComm)
TOLVANE_FX_EXCEPTION(EMemory, EOpenComm)
TOLVANE_FX_EXCEPTION(ECommNotOpen, EOpenComm)
TOLVANE_FX_EXCEPTION(EAlreadyOpen, EOpenComm)
TOLVANE_FX_EXCEPTION(ENoHandles, EOpenComm)
TOLVANE_FX_EXCEPTION(ENoTimers, EOpenComm)
TOLVANE_FX_EXCEPTION(ENoPortSelected, EOpenComm)

// Serial I/O.
TOLVANE_FX_EXCEPTION(ENullApi, ESerialIO)
TOLVANE_FX_EXCEPTION(ENotSupported, ESerialIO)
TOLVANE_FX_EXCEPTION(ERegisterHandlerFailed, ESerialIO)
TOLVANE_FX_EXCEPTION(EPutBlockFail, ESerialIO)
TOLVANE_FX_EXCEPTION(EGetBlockFail, ESerialIO)
TOLVANE_FX_EXCEPTION(EOutputBufferTooSmall, ESerialIO)
TOLVANE_FX_EXCEPTION(EBufferIsEmpty, ESerialIO)
TOLVANE_FX_EXCEPTION(ETracingNotEnabled, ESerialIO)
TOLVANE_FX_EXCEPTION(ELoggingNotEnabled, ESerialIO)

// Modem.
TOLVANE_FX_EXCEPTION(EModemNotStarted, EModem)
TOLVANE_FX_EXCEPTION(EModemBusy, EModem)
TOLVANE_FX_EXCEPTION(EModemNotDialing, EModem)
TOLVANE_FX_EXCEPTION(ENotDialing, EModem)
TOLVANE_FX_EXCEPTION(EAlreadyDialing, EModem)
TOLVANE_FX_EXCEPTION(EModemNotResponding, EModem)
TOLVANE_FX_EXCEPTION(EModemRejectedCommand, EModem)
TOLVANE_FX_EXCEPTION(EModemStatusMismatch, EModem)

// Triggers.
TOLVANE_FX_EXCEPTION(ENoMoreTriggers, ETrigger)
TOLVANE_FX_EXCEPTION(ETriggerTooLong, ETrigger)
TOLVANE_FX_EXCEPTION(EBadTriggerHandle, ETrigger)

// INI database.
TOLVANE_FX_EXCEPTION(EKeyTooLong, EINI)
TOLVANE_FX_EXCEPTION(EDataTooLarge, EINI)
TOLVANE_FX_EXCEPTION(EIniWrite, EINI)
TOLVANE_FX_EXCEPTION(EIniRead, EINI)
TOLVANE_FX_EXCEPTION(ERecordExists, EINI)
TOLVANE_FX_EXCEPTION(ERecordNotFound, EINI)
TOLVANE_FX_EXCEPTION(EDatabaseFull, EINI)
TOLVANE_FX_EXCEPTION(EDatabaseEmpty, EINI)
TOLVANE_FX_EXCEPTION(EBadFieldList, EINI)
TOLVANE_FX_EXCEPTION(EBadFieldForIndex, EINI)

// Fax images.
TOLVANE_FX_EXCEPTION(EFaxBadFormat, EFax)
TOLVANE_FX_EXCEPTION(EBadGraphicsFormat, EFax)
TOLVANE_FX_EXCEPTION(EConvertAbort, EFax)
TOLVANE_FX_EXCEPTION(EUnpackAbort, EFax)
TOLVANE_FX_EXCEPTION(ECantMakeBitmap, EFax)

// Fax calls.
TOLVANE_FX_EXCEPTION(EFaxBadMachine, EFax)
TOLVANE_FX_EXCEPTION(EFaxBadModemResult, EFax)
TOLVANE_FX_EXCEPTION(EFaxTrainError, EFax)
TOLVANE_FX_EXCEPTION(EFaxInitError, EFax)
TOLVANE_FX_EXCEPTION(EFaxBusy, EFax)
TOLVANE_FX_EXCEPTION(EFaxVoiceCall, EFax)
TOLVANE_FX_EXCEPTION(EFaxDataCall, EFax)
TOLVANE_FX_EXCEPTION(EFaxNoDialTone, EFax)
TOLVANE_FX_EXCEPTION(EFaxNoCarrier, EFax)
TOLVANE_FX_EXCEPTION(EFaxSessionError, EFax)
TOLVANE_FX_EXCEPTION(EFaxPageError, EFax)
TOLVANE_FX_EXCEPTION(EFaxModemGone, EFax)

#undef TOLVANE_FX_EXCEPTION

// The telephony family: one class per code, told apart by the template argument.
template <int Code> class ETapiError : public ETapi {
public:
  using ETapi::ETapi;
};

// Raises the exception class chosen for a code, carrying the code. Returns
// normally only for codes >= 0.
void RaiseFxError(int code);

// Raises for negative codes and passes the others through; convenient around
// calls into low layers: `CheckFx(engine.open(..))`.
inline int CheckFx(int code) {
  if (code < 0)
    RaiseFxError(code);
  return code;
}

// The code an exception stands for: the fax family's own code, minus the
// runtime I/O error number, -8 for out of memory, -9999 for anything else.
int ErrorCodeOf(const std::exception& e);
int ErrorCodeOf(std::exception_ptr e);
