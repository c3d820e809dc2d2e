#pragma once
// The catalogue service as a test meets it: a process of its own started with the test's
// options on a free port of 127.0.0.1 (its messages kept in a file), spoken to over raw
// sockets so every byte of an answer is seen as the program sees it.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quavrel::test {

struct HttpReply {
    int status = 0;
    std::map<std::string, std::string> headers;   // names in lower case
    std::string body;
    bool has(const std::string& name) const { return headers.count(name) != 0; }
    std::string header(const std::string& name) const;
};

// One request with "Connection: close", read until the server closes. `from` binds the
// client's end to another loopback address ("127.0.0.2"), as another computer would be.
// Throws std::runtime_error when the server cannot be reached or answers no head.
HttpReply HttpExchange(int port, const std::string& method, const std::string& target,
                       const std::string& extraHeaders = "", const std::string& host = "",
                       const std::string& from = "");

// A connected socket to 127.0.0.1:`port` from `from` (default 127.0.0.1); -1 on failure.
int ConnectTo(int port, const std::string& from = "");

// Calls `check` until it returns true or `limit` has passed; true when it did.
bool WaitUntil(const std::function<bool()>& check, std::chrono::seconds limit = std::chrono::seconds(30));

class CatalogService {
public:
    CatalogService() = default;
    ~CatalogService();
    CatalogService(const CatalogService&) = delete;
    CatalogService& operator=(const CatalogService&) = delete;

    // Starts QUAVREL_CATALOG with `args` plus "--port 0 --print-port". `asUser` runs it as
    // that user (the test runs as root). Returns "" once it printed its port, otherwise
    // why not; the exit code is then in exitCode().
    std::string start(const std::vector<std::string>& args, const std::string& asUser = "");
    // Runs it to its end (for options that make it stop at once): the exit code.
    int run(const std::vector<std::string>& args, const std::string& asUser = "");
    // SIGTERM, then waits. Returns the exit code (or 128 + signal).
    int stop();
    void kill9();

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    int exitCode() const { return exitCode_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string base() const { return "http://" + host(); }
    // Everything it wrote to standard error so far.
    std::string messages() const;
    bool waitForMessage(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(30)) const;

    HttpReply get(const std::string& target, const std::string& extraHeaders = "") const;

    // The limit of open descriptors the next start() gives the process; 0 keeps the test's.
    unsigned long descriptorLimit = 0;
    HttpReply head(const std::string& target) const;

private:
    pid_t spawn(const std::vector<std::string>& args, const std::string& asUser, int stdoutFd);

    pid_t pid_ = -1;
    int port_ = 0;
    int exitCode_ = -1;
    std::string messagesFile_;
};

}  // namespace quavrel::test
