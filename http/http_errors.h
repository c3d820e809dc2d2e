#pragma once
// Failures of the HTTP client, one class per cause. Every message is the exact text the
// user sees in the error box.
#include <string>

#include "platform/exception.h"
#include "platform/integer_text.h"   // EConvertError, which URLs and cookies raise too

namespace quavrel {

QUAVREL_EXCEPTION(EIdException, Exception);
QUAVREL_EXCEPTION(EIdHTTPProtocolException, EIdException);    // message: the status line
QUAVREL_EXCEPTION(EIdConnectTimeout, EIdException);           // "Connect timed out."
QUAVREL_EXCEPTION(EIdConnClosedGracefully, EIdException);     // "Connection Closed Gracefully."
QUAVREL_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException); // "Max line length exceeded."
QUAVREL_EXCEPTION(EIdHeadTooLarge, EIdException);             // "Response headers exceed 8 MiB."
QUAVREL_EXCEPTION(EIdReadTimeout, EIdException);              // "Read Timeout"
QUAVREL_EXCEPTION(EIdIOHandlerPropInvalid, EIdException);     // "IOHandler value is not valid"
QUAVREL_EXCEPTION(EIdUnknownProtocol, EIdException);          // empty message
QUAVREL_EXCEPTION(EIdInvalidSocket, EIdException);            // "Cannot allocate socket."
QUAVREL_EXCEPTION(EIdClientBusy, EIdException);               // a second request on a busy client
QUAVREL_EXCEPTION(EIdAborted, EIdException);                  // the program closed during the wait
QUAVREL_EXCEPTION(EIdInvalidURL, EIdException);               // "URL contains a CR, LF or NUL byte"
QUAVREL_EXCEPTION(EIdInvalidPort, EIdException);              // "Port number out of range: 65536"

// A socket call failed: "Socket Error # <code>\r\n<text>", with the Windows socket error
// code and text, so users see the same message on every platform.
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int code, std::string message) : EIdException(std::move(message)), code_(code) {}
    int code() const noexcept { return code_; }
    const char* className() const noexcept override { return "EIdSocketError"; }

private:
    int code_;
};

// A failed connect on the user-interface thread.
class EIdConnectException : public EIdSocketError {
public:
    using EIdSocketError::EIdSocketError;
    const char* className() const noexcept override { return "EIdConnectException"; }
};

// The fixed text of a Windows socket error code; empty for codes outside the table.
const char* SocketErrorText(int code);
// "Socket Error # <code>\r\n<text>"
std::string SocketErrorMessage(int code);
[[noreturn]] void RaiseSocketError(int code);

}  // namespace quavrel
