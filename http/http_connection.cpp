#include "http/http_connection.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "http/anti_freeze.h"
#include "http/http_errors.h"
#include "http/url.h"

namespace quavrel {

namespace {
// How long the check for a close by the server waits for bytes on an idle connection. It
// is most of the cost of a request on a kept connection over loopback.
constexpr int kClosedTestWaitMs = 1;

// Shared by the UI thread and its connect thread. The connect thread touches nothing
// else, so an abandoned attempt can finish whenever it likes and only closes its socket.
struct ConnectAttempt {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int error = 0;
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
    uint32_t address = 0;
    if (!LiteralAddress(host, address)) {
        int error = ResolveHost(host, address);
        if (error)
            RaiseSocketError(error);
    }

    if (TIdAntiFreeze::ShouldUse()) {
        socket_ = connectOnUiThread(address, port);
    } else {
        Socket socket;
        if (!socket.open())
            throw EIdInvalidSocket("Cannot allocate socket.");
        int error = socket.connect(address, port, msLeft());
        if (error) {
            if (deadline_ && msLeft() == 0)
                raiseReadTimeout();
            RaiseSocketError(error);
        }
        socket_ = std::move(socket);
    }
    host_ = host;
    port_ = port;
    resetInput();
}

Socket HttpConnection::connectOnUiThread(uint32_t address, uint16_t port)
{
    auto attempt = std::make_shared<ConnectAttempt>();
    if (!attempt->socket.open())
        throw EIdInvalidSocket("Cannot allocate socket.");
    std::thread([attempt, address, port] {
        int error = attempt->socket.connect(address, port);
        std::lock_guard lock(attempt->mutex);
        attempt->error = error;
        attempt->done = true;
        attempt->finished.notify_all();
    }).detach();

    const auto start = Clock::now();
    for (;;) {
        {
            std::unique_lock lock(attempt->mutex);
            if (attempt->finished.wait_for(lock, std::chrono::milliseconds(TIdAntiFreeze::kConnectStep),
                                           [&] { return attempt->done; })) {
                if (attempt->error) {
                    int code = attempt->error;
                    throw EIdConnectException(code, SocketErrorMessage(code));
                }
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
