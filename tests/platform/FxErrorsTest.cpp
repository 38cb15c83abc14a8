#include "platform/FxErrors.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

// Runs RaiseFxError and hands back what it threw, so tests can look at the
// dynamic type and the carried code.
std::exception_ptr raised(int code) {
  try {
    RaiseFxError(code);
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

// True when the exception is an E; its message goes to *message.
template <class E> bool as(std::exception_ptr p, std::string* message = nullptr) {
  if (!p)
    return false;
  try {
    std::rethrow_exception(p);
  } catch (const E& e) {
    if (message)
      *message = e.what();
    return true;
  } catch (...) {
  }
  return false;
}

} // namespace

TEST(FxErrors, TextsOfCodes) {
  EXPECT_EQ(ErrorText(0), "OK");
  EXPECT_EQ(ErrorText(-2), "File not found");
  EXPECT_EQ(ErrorText(-8), "Insufficient memory");
  EXPECT_EQ(ErrorText(-8074), "Called fax number was busy");
  EXPECT_EQ(ErrorText(-2005), "ie_Hardware - Specified comport in use");
  EXPECT_EQ(ErrorText(-8002), "Unsupported graphics file format");
  EXPECT_EQ(ErrorText(-6006), "Fatal time out");
  EXPECT_EQ(ErrorText(-1006), "Internal error creating window class");
  EXPECT_EQ(ErrorText(-8082), "Multiple resolutions per session not supported");
  // Codes without a text of their own still say which code they are.
  EXPECT_NE(ErrorText(-4242).find("4242"), std::string::npos);
}

TEST(FxErrors, RuntimeCodesRaiseIoErrorOrOutOfMemory) {
  std::string msg;
  auto p = raised(-8);
  EXPECT_TRUE(as<EOutOfMemory>(p));
  EXPECT_FALSE(as<EFxException>(p));
  EXPECT_EQ(ErrorCodeOf(p), -8);

  p = raised(-2);
  ASSERT_TRUE(as<EInOutError>(p, &msg));
  EXPECT_EQ(msg, "File not found");
  EXPECT_EQ(ErrorCodeOf(p), -2);
  try {
    std::rethrow_exception(p);
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
  }
  EXPECT_EQ(ErrorCodeOf(raised(-101)), -101);
}

TEST(FxErrors, TableCodesRaiseTheirLeafClassWithGroupAndCode) {
  std::string msg;
  auto p = raised(-2005);
  ASSERT_TRUE(as<EHardware>(p, &msg));
  EXPECT_TRUE(as<EOpenComm>(p));
  EXPECT_EQ(msg, "ie_Hardware - Specified comport in use");
  EXPECT_EQ(ErrorCodeOf(p), -2005);

  EXPECT_TRUE(as<EBadId>(raised(-2001)));
  EXPECT_FALSE(as<EHardware>(raised(-2001)));
  EXPECT_TRUE(as<EFaxBusy>(raised(-8074)));
  EXPECT_TRUE(as<EFax>(raised(-8074)));
  EXPECT_TRUE(as<EBadGraphicsFormat>(raised(-8002)));
  EXPECT_TRUE(as<ENoMoreTriggers>(raised(-5001)));
  EXPECT_TRUE(as<ETrigger>(raised(-5001)));
  EXPECT_TRUE(as<ELoggingNotEnabled>(raised(-3009)));
  EXPECT_TRUE(as<EModemStatusMismatch>(raised(-4008)));
  EXPECT_TRUE(as<ECannotUseWithWinSock>(raised(-1009)));
  EXPECT_TRUE(as<EModemNotAssigned>(raised(-1007)));
  EXPECT_TRUE(as<EKeyTooLong>(raised(-7001)));
  EXPECT_TRUE(as<EBadFieldForIndex>(raised(-7013)));
}

TEST(FxErrors, InternalProtocolAndUnlistedCodes) {
  for (int code : {-7012, -7006, -7003, -1006}) {
    auto p = raised(code);
    EXPECT_TRUE(as<EInternal>(p)) << code;
    EXPECT_EQ(ErrorCodeOf(p), code);
  }
  for (int code : {-6006, -6008, -6009})
    EXPECT_TRUE(as<EProtocol>(raised(code))) << code;

  for (int code : {-6005, -6011, -8050, -8082, -4242}) {
    std::string msg;
    auto p = raised(code);
    ASSERT_TRUE(as<EFxException>(p, &msg)) << code;
    EXPECT_FALSE(as<EFax>(p));
    EXPECT_FALSE(as<EProtocol>(p));
    EXPECT_EQ(msg, "FX exception");
    EXPECT_EQ(ErrorCodeOf(p), code);
  }
}

TEST(FxErrors, TelephonyCodesRaiseOneClassEach) {
  auto p = raised(-13801);
  EXPECT_TRUE(as<ETapiError<-13801>>(p));
  EXPECT_FALSE(as<ETapiError<-13802>>(p));
  EXPECT_TRUE(as<ETapiError<-13934>>(raised(-13934)));
  EXPECT_TRUE(as<ETapi>(raised(-13900)));
  EXPECT_EQ(ErrorCodeOf(raised(-13900)), -13900);
}

TEST(FxErrors, NonNegativeCodesRaiseNothingAndOtherExceptionsMapToUnknown) {
  EXPECT_FALSE(raised(0));
  EXPECT_FALSE(raised(5));
  EXPECT_EQ(CheckFx(7), 7);
  EXPECT_THROW(CheckFx(-2010), ENoTimers);
  EXPECT_EQ(ErrorCodeOf(std::runtime_error("x")), -9999);
  EXPECT_EQ(ErrorCodeOf(std::make_exception_ptr(42)), -9999);
  EXPECT_EQ(ErrorCodeOf(std::make_exception_ptr(std::bad_alloc())), -8);
}

TEST(FxErrors, ErrnoMapsToRuntimeCodes) {
  EXPECT_EQ(IoErrorFromErrno(ENOENT), -2);
  EXPECT_EQ(IoErrorFromErrno(EACCES), -5);
  EXPECT_EQ(IoErrorFromErrno(ENOSPC, true), -101);
  EXPECT_EQ(IoErrorFromErrno(EIO, false), -100);
  EXPECT_EQ(IoErrorFromErrno(EIO, true), -101);
}
