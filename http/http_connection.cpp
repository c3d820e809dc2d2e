#include "http/http_connection.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "http/anti_freeze.h"
#include "http/http_errors.h"
#include "http/url.h"

namespace quavrel {

namespace {
// How long the check for a close by the server waits for bytes on an idle connection. It
// is most of the cost of a request on a kept connection over loopback.
constexpr int kClosedTestWaitMs = 1;

// How connecting to a list of addresses ended.
struct ConnectOutcome {
    bool opened = false;   // a socket could be had for at least one of them
    int error = 0;         // of the last connect tried
};

// Tries each address in turn until one connects; `msLeft` gives the time left for the
// next connect (-1: no limit). On failure `socket` is closed.
ConnectOutcome connectToFirst(const std::vector<IpAddress>& addresses, uint16_t port,
                              const std::function<int()>& msLeft, Socket& socket)
{
    ConnectOutcome outcome;
    for (const IpAddress& address : addresses) {
        if (!socket.open(address))
            continue;   // this machine may lack the family: the next address may do
        outcome.opened = true;
        outcome.error = socket.connect(address, port, msLeft());
        if (outcome.error == 0)
            return outcome;
        socket.close();
        if (msLeft() == 0)
            break;
    }
    return outcome;
}

[[noreturn]] void raiseConnectFailure(const ConnectOutcome& outcome, bool onUiThread)
{
    if (!outcome.opened)
        throw EIdInvalidSocket("Cannot allocate socket.");
    if (onUiThread)
        throw EIdConnectException(outcome.error, SocketErrorMessage(outcome.error));
    RaiseSocketError(outcome.error);
}

// The addresses to try for `host`: "LOCALHOST" and four numbers need no lookup; any
// other name, and an IPv6 address in brackets, is looked up for both families.
std::vector<IpAddress> addressesOf(const std::string& host)
{
    uint32_t address = 0;
    if (LiteralAddress(host, address))
        return {IpAddress::FromIpv4(address)};
    std::vector<IpAddress> addresses;
    if (int error = ResolveHost(std::string(Unbracketed(host)), addresses))
        RaiseSocketError(error);
    return addresses;
}

// Shared by the UI thread and its connect thread. The connect thread touches nothing
// else, so an abandoned attempt can finish whenever it likes and only closes its socket.
struct ConnectAttempt {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    ConnectOutcome outcome;
    Socket socket;
};

int elapsedMs(std::chrono::steady_clock::time_point since)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - since).count());
}
}  // namespace

int HttpConnection::msLeft() const
{
    if (!deadline_)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void HttpConnection::raiseReadTimeout() { throw EIdReadTimeout("Read Timeout"); }

void HttpConnection::connect(const std::string& host, uint16_t port)
{
    close();
    const std::vector<IpAddress> addresses = addressesOf(host);
    if (TIdAntiFreeze::ShouldUse()) {
        socket_ = connectOnUiThread(addresses, port);
    } else {
        Socket socket;
        ConnectOutcome outcome = connectToFirst(addresses, port, [this] { return msLeft(); }, socket);
        if (!socket.valid()) {
            if (deadline_ && msLeft() == 0)
                raiseReadTimeout();
            raiseConnectFailure(outcome, false);
        }
        socket_ = std::move(socket);
    }
    host_ = host;
    port_ = port;
    resetInput();
}

Socket HttpConnection::connectOnUiThread(const std::vector<IpAddress>& addresses, uint16_t port)
{
    auto attempt = std::make_shared<ConnectAttempt>();
    std::thread([attempt, addresses, port] {
        Socket socket;
        ConnectOutcome outcome = connectToFirst(addresses, port, [] { return -1; }, socket);
        std::lock_guard lock(attempt->mutex);
        attempt->socket = std::move(socket);
        attempt->outcome = outcome;
        attempt->done = true;
        attempt->finished.notify_all();
    }).detach();

    const auto start = Clock::now();
    for (;;) {
        {
            std::unique_lock lock(attempt->mutex);
            if (attempt->finished.wait_for(lock, std::chrono::milliseconds(TIdAntiFreeze::kConnectStep),
                                           [&] { return attempt->done; })) {
                if (!attempt->socket.valid())
                    raiseConnectFailure(attempt->outcome, true);
                return std::move(attempt->socket);
            }
        }
        // Leaving here abandons the attempt: the thread keeps its own reference.
        TIdAntiFreeze::DoProcess();
        if (elapsedMs(start) >= TIdAntiFreeze::kConnectTimeOut)
            throw EIdConnectTimeout("Connect timed out.");
        if (deadline_ && msLeft() == 0)
            raiseReadTimeout();
    }
}

void HttpConnection::dropIfClosedByServer()
{
    // A server that keeps sending cannot hold the check for long.
    for (int round = 0; round < 16 && isOpen(); ++round) {
        int ready = socket_.waitReadable(kClosedTestWaitMs);
        if (ready == 0)
            return;
        try {
            if (ready < 0 || !fill(-1))
                close();
        } catch (const EIdSocketError&) {
            close();
        }
    }
}

void HttpConnection::send(const std::string& bytes)
{
    int error = socket_.sendAll(bytes.data(), bytes.size(), msLeft());
    if (error) {
        if (deadline_ && (error == kSocketWouldBlock || msLeft() == 0))
            raiseReadTimeout();
        RaiseSocketError(error);
    }
}

void HttpConnection::close()
{
    socket_.close();
    host_.clear();
    port_ = 0;
    resetInput();
}

size_t HttpConnection::receive(char* into, size_t max, int waitLimitMs)
{
    if (!isOpen())
        return 0;   // a dropped connection reads as one the server closed
    const bool ui = TIdAntiFreeze::ShouldUse();
    const auto start = Clock::now();
    for (;;) {
        int slice = -1;
        if (waitLimitMs >= 0)
            slice = std::max(waitLimitMs - elapsedMs(start), 0);
        int left = msLeft();
        if (left >= 0)
            slice = slice < 0 ? left : std::min(slice, left);
        if (ui)
            slice = slice < 0 ? TIdAntiFreeze::kIdleTimeOut : std::min(slice, TIdAntiFreeze::kIdleTimeOut);

        int ready = socket_.waitReadable(slice);
        if (ready < 0)
            RaiseSocketError(-ready);
        if (ready > 0) {
            long got = socket_.receive(into, max);
            if (got > 0) {
                bytesReceived_ += static_cast<uint64_t>(got);
                if (ui)
                    TIdAntiFreeze::DoProcessIfDue();
                return static_cast<size_t>(got);
            }
            if (got == 0)
                return 0;
            int code = static_cast<int>(-got);
            if ((code == kSocketConnAborted || code == kSocketShutdown) && buffered() > 0)
                return 0;
            RaiseSocketError(code);
        }
        if (ui)
            TIdAntiFreeze::DoProcess();
        if ((waitLimitMs >= 0 && elapsedMs(start) >= waitLimitMs) || msLeft() == 0)
            raiseReadTimeout();
    }
}

}  // namespace quavrel
