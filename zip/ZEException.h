// The archive engine's numbered errors: a native number names the place and
// cause, a fixed table maps it to an error code that selects the English text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sysutils.h"

class TComponent;

// One argument of a message text: a wide string for %s, an integer for %d.
struct TZEArg {
  enum Kind { String, Integer };
  Kind VType;
  WideString VString;
  int64_t VInt = 0;
  TZEArg(const WideString& s) : VType(String), VString(s) {}
  TZEArg(const wchar_t* s) : VType(String), VString(s) {}
  TZEArg(const AnsiString& s) : VType(String), VString(AnsiToWide(s)) {}
  TZEArg(int v) : VType(Integer), VInt(v) {}
  TZEArg(unsigned v) : VType(Integer), VInt(v) {}
  TZEArg(long long v) : VType(Integer), VInt(v) {}
  TZEArg(unsigned long long v) : VType(Integer), VInt(static_cast<int64_t>(v)) {}
};

// %s and %d (with an optional width, "%5d") over wide text; surplus arguments
// are ignored, a missing or mismatched one raises EConvertError.
WideString ZEFormat(const WideString& fmt, const std::vector<TZEArg>& args);

constexpr int ZE_NATIVE_COUNT = 63;
constexpr int ZE_MESSAGE_COUNT = 41;
extern const int32_t ZENativeToErrorCode[ZE_NATIVE_COUNT][2];
extern const wchar_t* const ZEErrorMessages[ZE_MESSAGE_COUNT];

class EZEException : public Exception {
  CL_CLASS(EZEException, Exception)
public:
  // systemError: the system's error code of the call that failed, taken right
  // there (0 when the failure is the engine's own); the message stays as the
  // number gives it.
  EZEException(int nativeError, TComponent* owner, uint32_t systemError = 0);
  EZEException(int nativeError, std::initializer_list<TZEArg> args, TComponent* owner, uint32_t systemError = 0);

  int ErrorCode() const { return FErrorCode; }
  int NativeError() const { return FNativeError; }
  uint32_t SystemError() const { return FSystemError; }
  // The message as built, in UTF-16 (Message() holds its ANSI form).
  const WideString& WideMessage() const { return FWideMessage; }

private:
  void Build(int nativeError, const std::vector<TZEArg>* args, TComponent* owner);
  int FErrorCode = 0;
  int FNativeError = 0;
  uint32_t FSystemError = 0;
  WideString FWideMessage;
};

// The error code a native number maps to (0 for numbers outside the table).
int ZEErrorCodeOf(int nativeError);

// The wide message of any exception: EZEException's own, else the ANSI message.
WideString ZEExceptionMessage(const Exception& e);
// The system's error code an exception carries: an EZEException's, a stream
// error's, a failed system call's; 0 for any other.
uint32_t ZEExceptionSystemError(const Exception& e);

// Failures of the compression library.
CL_EXCEPTION(EZlibError, Exception)
CL_EXCEPTION(ECompressionError, EZlibError)
CL_EXCEPTION(EDecompressionError, EZlibError)

int CCheck(int code);
int DCheck(int code);

// The prompts of the default event answers.
extern const wchar_t* const SConfirmOverwrite;
extern const wchar_t* const SPasswordTitle;
extern const wchar_t* const SPasswordPrompt;
extern const wchar_t* const SOnRequestBlankDisk;
extern const wchar_t* const SOnRequestFirstDisk;
extern const wchar_t* const SOnRequestLastDisk;
extern const wchar_t* const SOnRequestMiddleDisk;
extern const wchar_t* const SOnDiskFull;
extern const wchar_t* const SOnProcessFileFailure;
extern const wchar_t* const SWrongDiskRequestLastDisk;
