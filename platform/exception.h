#pragma once
// The common base of every failure the program reports. The message is GBK bytes, shown
// as it stands by the standard error box; the class name is what diagnostics print.
#include <exception>
#include <string>

namespace quavrel {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    virtual const char* className() const noexcept { return "Exception"; }

private:
    std::string message_;
};

// Declares a subclass that only carries its own name.
#define QUAVREL_EXCEPTION(Name, Base)                                          \
    class Name : public Base {                                                 \
    public:                                                                    \
        using Base::Base;                                                      \
        const char* className() const noexcept override { return #Name; }      \
    }

// Local files: opening, creating and writing them.
QUAVREL_EXCEPTION(EFOpenError, Exception);
QUAVREL_EXCEPTION(EFCreateError, Exception);
QUAVREL_EXCEPTION(EWriteError, Exception);
QUAVREL_EXCEPTION(EReadError, Exception);

}  // namespace quavrel
