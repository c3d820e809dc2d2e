#include "tests/support/catalog/catalog_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace quavrel::test {
namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string dechunk(const std::string& body)
{
    std::string out;
    std::size_t p = 0;
    for (;;) {
        const std::size_t eol = body.find("\r\n", p);
        if (eol == std::string::npos)
            break;
        const std::size_t size = std::stoul(body.substr(p, eol - p), nullptr, 16);
        if (size == 0)
            break;
        out += body.substr(eol + 2, size);
        p = eol + 2 + size + 2;
    }
    return out;
}

HttpReply parseReply(const std::string& raw, const std::string& method)
{
    HttpReply reply;
    const std::size_t headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        throw std::runtime_error("no complete head in the answer");
    const std::string head = raw.substr(0, headEnd);
    reply.status = std::atoi(head.substr(head.find(' ') + 1, 3).c_str());
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos < head.size()) {
        const std::size_t next = head.find("\r\n", pos + 2);
        const std::string line = head.substr(pos + 2, next == std::string::npos ? next : next - pos - 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const std::size_t value = line.find_first_not_of(' ', colon + 1);
            reply.headers[lower(line.substr(0, colon))] = value == std::string::npos ? "" : line.substr(value);
        }
        pos = next;
    }
    reply.body = raw.substr(headEnd + 4);
    if (lower(reply.header("transfer-encoding")) == "chunked" && method != "HEAD")
        reply.body = dechunk(reply.body);
    return reply;
}

}  // namespace

std::string HttpReply::header(const std::string& name) const
{
    const auto it = headers.find(name);
    return it == headers.end() ? std::string{} : it->second;
}

int ConnectTo(int port, const std::string& from)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (!from.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

HttpReply HttpExchange(int port, const std::string& method, const std::string& target, const std::string& extraHeaders,
                       const std::string& host, const std::string& from)
{
    const int fd = ConnectTo(port, from);
    if (fd < 0)
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    const std::string hostHeader = host.empty() ? "127.0.0.1:" + std::to_string(port) : host;
    const std::string request = method + " " + target + " HTTP/1.1\r\nHost: " + hostHeader + "\r\n" + extraHeaders +
                                "Connection: close\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string raw;
    char buf[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 60000) <= 0)   // only guards against a hang
            break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        raw.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return parseReply(raw, method);
}

bool WaitUntil(const std::function<bool()>& check, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

CatalogService::~CatalogService()
{
    if (pid_ > 0)
        stop();
    if (!messagesFile_.empty())
        ::unlink(messagesFile_.c_str());
}

pid_t CatalogService::spawn(const std::vector<std::string>& args, const std::string& asUser, int stdoutFd)
{
    const char* bin = std::getenv("QUAVREL_CATALOG");
    if (!bin)
        throw std::runtime_error("QUAVREL_CATALOG is not set");
    if (messagesFile_.empty()) {
        char name[] = "/tmp/quavrel-catalog-log.XXXXXX";
        const int fd = ::mkstemp(name);
        ::close(fd);
        messagesFile_ = name;
    }
    std::vector<std::string> argv{bin};
    argv.insert(argv.end(), args.begin(), args.end());
    const passwd* user = asUser.empty() ? nullptr : ::getpwnam(asUser.c_str());
    if (!asUser.empty() && !user)
        throw std::runtime_error("no user " + asUser);
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {   // only async-signal-safe calls from here: the test may run threads
        const int err = ::open(messagesFile_.c_str(), O_WRONLY | O_APPEND);
        ::dup2(err, STDERR_FILENO);
        if (stdoutFd >= 0)
            ::dup2(stdoutFd, STDOUT_FILENO);
        if (descriptorLimit) {
            const rlimit limit{descriptorLimit, descriptorLimit};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (user) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(user->pw_gid) != 0 || ::setuid(user->pw_uid) != 0)
                ::_exit(126);
        }
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    return pid;
}

std::string CatalogService::start(const std::vector<std::string>& args, const std::string& asUser)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return "no pipe";
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--port", "0", "--print-port"});
    pid_ = spawn(all, asUser, out[1]);
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ > 0)
        return "";
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return "no port printed (exit " + std::to_string(exitCode_) + "): " + messages();
}

int CatalogService::run(const std::vector<std::string>& args, const std::string& asUser)
{
    const pid_t pid = spawn(args, asUser, -1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exitCode_;
}

int CatalogService::stop()
{
    if (pid_ <= 0)
        return exitCode_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exitCode_;
}

void CatalogService::kill9()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string CatalogService::messages() const
{
    std::ifstream in(messagesFile_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool CatalogService::waitForMessage(const std::string& text, std::chrono::seconds limit) const
{
    return WaitUntil([&] { return messages().find(text) != std::string::npos; }, limit);
}

HttpReply CatalogService::get(const std::string& target, const std::string& extraHeaders) const
{
    return HttpExchange(port_, "GET", target, extraHeaders);
}

HttpReply CatalogService::head(const std::string& target) const { return HttpExchange(port_, "HEAD", target); }

}  // namespace quavrel::test
