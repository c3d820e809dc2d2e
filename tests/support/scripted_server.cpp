#include "tests/support/scripted_server.h"

#include <chrono>
#include <stdexcept>

#include "tests/support/loopback_listener.h"

namespace quavrel::test {

Script& Script::read() { steps.push_back({Step::Read, {}, 0}); return *this; }
Script& Script::send(std::string bytes) { steps.push_back({Step::Send, std::move(bytes), 0}); return *this; }
Script& Script::pause(int ms) { steps.push_back({Step::Pause, {}, ms}); return *this; }
Script& Script::close() { steps.push_back({Step::Close, {}, 0}); return *this; }
Script& Script::reset() { steps.push_back({Step::Reset, {}, 0}); return *this; }
Script& Script::hold() { steps.push_back({Step::Hold, {}, 0}); return *this; }

Script& Script::answer(const std::string& response, int count)
{
    for (int i = 0; i < count; ++i)
        read().send(response);
    return *this;
}

std::string HttpResponseText(const std::string& body, const std::string& status, const std::string& headers)
{
    return status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body;
}

ScriptedServer::ScriptedServer(uint16_t port, Loopback family) : family_(family)
{
    listenFd_ = ListenOnLoopback(port, 64, family);
    port_ = port;
    acceptor_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer() { stop(); }

std::string ScriptedServer::host() const { return family_ == Loopback::kIpv6 ? "[::1]" : "127.0.0.1"; }

std::string ScriptedServer::url(const std::string& path) const
{
    return "http://" + host() + ":" + std::to_string(port_) + path;
}

void ScriptedServer::add(Script script)
{
    std::lock_guard lock(mutex_);
    scripts_.push_back(std::move(script));
}

std::vector<std::string> ScriptedServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string ScriptedServer::request(size_t index) const
{
    std::lock_guard lock(mutex_);
    return index < requests_.size() ? requests_[index] : std::string();
}

void ScriptedServer::stop()
{
    if (stopping_.exchange(true))
        return;
    stopped_.notify_all();
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> handlers;
    {
        std::lock_guard lock(mutex_);
        handlers.swap(handlers_);
    }
    for (std::thread& t : handlers)
        t.join();
    CloseSocket(listenFd_);
}

bool ScriptedServer::sleepFor(int milliseconds)
{
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return stopping_.load(); });
}

void ScriptedServer::acceptLoop()
{
    while (!stopping_) {
        int fd = AcceptWithin(listenFd_, 20);
        if (fd < 0)
            continue;
        connections_++;
        std::lock_guard lock(mutex_);
        Script script;
        if (!scripts_.empty()) {
            script = std::move(scripts_.front());
            scripts_.pop_front();
        }
        handlers_.emplace_back([this, fd, script = std::move(script)]() mutable { play(fd, std::move(script)); });
    }
}

void ScriptedServer::play(int fd, Script script)
{
    std::string pending;   // bytes received beyond the last request head
    bool open = true;
    for (const Script::Step& step : script.steps) {
        if (!open || stopping_)
            break;
        switch (step.kind) {
        case Script::Step::Read: {
            size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                if (stopping_)
                    break;
                if (!ReadableWithin(fd, 20))
                    continue;
                char buffer[4096];
                long got = ReceiveSome(fd, buffer, sizeof buffer);
                if (got <= 0) {
                    open = false;
                    break;
                }
                pending.append(buffer, static_cast<size_t>(got));
            }
            if (end != std::string::npos) {
                std::lock_guard lock(mutex_);
                requests_.push_back(pending.substr(0, end + 4));
                pending.erase(0, end + 4);
            }
            break;
        }
        case Script::Step::Send: {
            size_t sent = 0;
            while (sent < step.bytes.size()) {
                long n = SendSome(fd, step.bytes.data() + sent, step.bytes.size() - sent);
                if (n <= 0) {
                    open = false;
                    break;
                }
                sent += static_cast<size_t>(n);
            }
            break;
        }
        case Script::Step::Pause:
            sleepFor(step.milliseconds);
            break;
        case Script::Step::Close:
            open = false;
            break;
        case Script::Step::Reset:
            ResetAndClose(fd);
            return;
        case Script::Step::Hold: {
            std::unique_lock lock(mutex_);
            stopped_.wait(lock, [&] { return stopping_.load(); });
            break;
        }
        }
    }
    // An orderly close: closing with unread request bytes would send a reset instead, so
    // what the client still sends is read until it closes its side.
    ShutdownSending(fd);
    while (!stopping_) {
        if (!ReadableWithin(fd, 20))
            continue;
        char buffer[4096];
        if (ReceiveSome(fd, buffer, sizeof buffer) <= 0)
            break;
    }
    CloseSocket(fd);
}

}  // namespace quavrel::test
