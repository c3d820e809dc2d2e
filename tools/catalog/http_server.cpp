#include "tools/catalog/http_server.h"

#include "tools/catalog/listen_socket.h"
#include "tools/catalog/log.h"
#include "tools/catalog/os_files.h"

#include <microhttpd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace quavrel::catalog {

struct HttpServer::State {
    int listenFd = -1;
    int port = 0;
    ServerLimits limits;
    HttpHandler handler;
    MHD_Daemon* daemon = nullptr;
};

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// One request in progress. The target is kept exactly as the client sent it: the library
// hands handlers a decoded path, and GBK keywords need the raw bytes.
struct RequestContext {
    std::string target;
    bool headRead = false;
};

void* keepTarget(void*, const char* uri, MHD_Connection*) { return new RequestContext{uri ? uri : "", false}; }

void dropTarget(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode)
{
    delete static_cast<RequestContext*>(*context);
    *context = nullptr;
}

void logLibraryMessage(void*, const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // The library repeats its resource messages for every refused connection.
    LogRarely(line.substr(0, 40), "http: " + line);
}

std::string headerOf(MHD_Connection* connection, const char* name)
{
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? value : "";
}

HttpRequest requestOf(MHD_Connection* connection, const char* method, const std::string& target)
{
    HttpRequest request;
    request.method = method ? method : "";
    request.target = target;
    request.path = target.substr(0, target.find('?'));
    request.host = headerOf(connection, "Host");
    request.range = headerOf(connection, "Range");
    if (const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
        request.client = AddressText(info->client_addr);
    if (const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
        request.localHost = LocalEndOf(info->connect_fd);
    return request;
}

struct UnsizedCursor {
    std::string_view bytes;
};

ssize_t readUnsized(void* cls, uint64_t position, char* buffer, size_t max)
{
    const auto* cursor = static_cast<UnsizedCursor*>(cls);
    if (position >= cursor->bytes.size())
        return MHD_CONTENT_READER_END_OF_STREAM;
    const std::size_t n = std::min({max, kChunkBytes, static_cast<std::size_t>(cursor->bytes.size() - position)});
    std::memcpy(buffer, cursor->bytes.data() + position, n);
    return static_cast<ssize_t>(n);
}

void freeUnsized(void* cls) { delete static_cast<UnsizedCursor*>(cls); }

MHD_Response* libraryResponseOf(HttpResponse& response)
{
    const std::string_view bytes = response.bytes();
    switch (response.kind()) {
    case HttpResponse::BodyKind::Owned:
        return MHD_create_response_from_buffer(bytes.size(), const_cast<char*>(bytes.data()),
                                               MHD_RESPMEM_MUST_COPY);
    case HttpResponse::BodyKind::View:
        return MHD_create_response_from_buffer(bytes.size(), const_cast<char*>(bytes.data()),
                                               MHD_RESPMEM_PERSISTENT);
    case HttpResponse::BodyKind::File: {
        const int fd = response.releaseFile();
        MHD_Response* r = MHD_create_response_from_fd_at_offset64(response.fileLength(), fd, response.fileOffset());
        if (!r)
            CloseDescriptor(fd);
        return r;
    }
    case HttpResponse::BodyKind::Unsized:
        return MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kChunkBytes, readUnsized,
                                                 new UnsizedCursor{bytes}, freeUnsized);
    }
    return nullptr;
}

MHD_Result queue(MHD_Connection* connection, HttpResponse response)
{
    MHD_Response* r = libraryResponseOf(response);
    if (!r)
        return MHD_NO;
    for (const auto& [name, value] : response.headers())
        MHD_add_response_header(r, name.c_str(), value.c_str());
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(response.code()), r);
    MHD_destroy_response(r);
    return queued;
}

MHD_Result answer(void* cls, MHD_Connection* connection, const char*, const char* method, const char*,
                  const char*, size_t* uploadSize, void** context)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    auto* request = static_cast<RequestContext*>(*context);
    if (!request)
        return MHD_NO;
    // The first call brings the head alone, and the answer waits for the end of the
    // request: an answer queued earlier would make the library close the connection.
    if (!request->headRead) {
        request->headRead = true;
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        *uploadSize = 0;   // a body is never wanted
        return MHD_YES;
    }
    try {
        return queue(connection, state->handler(requestOf(connection, method, request->target)));
    } catch (const std::exception& e) {
        LogRarely("handler", std::string("request failed: ") + e.what());
        return queue(connection, HttpResponse::status(500));
    }
}

}  // namespace

unsigned ConnectionBudget(unsigned long descriptorLimit)
{
    constexpr unsigned long kReserved = 64;   // database, watcher, logs, the listening socket
    if (descriptorLimit <= kReserved + 8)
        return 4;
    // 16 KiB of request memory each: a thousand stalled clients cost 16 MiB at most.
    return static_cast<unsigned>(std::min<unsigned long>((descriptorLimit - kReserved) / 2, 1024));
}

HttpServer::HttpServer(const std::string& address, int port, const ServerLimits& limits)
    : state_(std::make_unique<State>())
{
    state_->limits = limits;
    state_->listenFd = OpenListeningSocket(address, port, state_->port);
}

HttpServer::~HttpServer()
{
    stop();
    CloseDescriptor(state_->listenFd);
}

int HttpServer::port() const { return state_->port; }

void HttpServer::start(HttpHandler handler)
{
    state_->handler = std::move(handler);
    const ServerLimits& l = state_->limits;
    const unsigned connections = l.connections ? l.connections : ConnectionBudget(DescriptorLimit());
    state_->daemon = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG, 0, nullptr, nullptr, answer, state_.get(),
        MHD_OPTION_EXTERNAL_LOGGER, logLibraryMessage, nullptr,
        MHD_OPTION_LISTEN_SOCKET, state_->listenFd,
        MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned>(std::max(1u, l.threads)),
        MHD_OPTION_CONNECTION_LIMIT, connections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, l.perClient,
        MHD_OPTION_CONNECTION_TIMEOUT, l.idleSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, l.requestBytes,
        MHD_OPTION_URI_LOG_CALLBACK, keepTarget, nullptr,
        MHD_OPTION_NOTIFY_COMPLETED, dropTarget, nullptr,
        MHD_OPTION_END);
    if (!state_->daemon)
        throw std::runtime_error("cannot start the HTTP server");
    // The daemon closes the listening socket when it stops.
    state_->listenFd = -1;
}

void HttpServer::stop()
{
    if (state_->daemon) {
        MHD_stop_daemon(state_->daemon);
        state_->daemon = nullptr;
    }
}

}  // namespace quavrel::catalog
