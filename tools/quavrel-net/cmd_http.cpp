// quavrel-net get and head: the HTTP client from the command line. All URLs go through one
// client object in order, so the connection and the cookies carry over.
#include <cstdio>
#include <functional>
#include <string>

#include "http/http_client.h"
#include "platform/atomic_file.h"
#include "tools/quavrel-net/command.h"

namespace quavrel::cli {
namespace {

// CR and LF shown as \r and \n keep the failure on one line.
std::string oneLine(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

int fail(const char* className, const std::string& message)
{
    std::string line = std::string(className) + ": " + oneLine(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return 1;
}

// Standard output cannot take back a partial body, so it gets everything at the end.
void writeStdout(const std::string& bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
        throw EWriteError("Stream write error");
}

// Runs one subcommand; its first failure becomes "CLASS: MESSAGE" and exit status 1.
int reportingFailure(const std::function<void()>& command)
{
    try {
        command();
        return 0;
    } catch (const Exception& e) {
        return fail(e.className(), e.message());
    } catch (const std::exception& e) {
        return fail("Exception", e.what());
    }
}

// Sends `request` for every URL in order on one client.
void requestEach(const Args& urls, const std::function<void(TIdHTTP&, const std::string&)>& request)
{
    TIdHTTP http;
    // A body cut short is a failure here, as in the program's own download.
    http.setWholeBodyRequired(true);
    for (const std::string& url : urls)
        request(http, url);
}

int runGet(const Args& args)
{
    std::string file;
    size_t first = 0;
    if (!args.empty() && args[0] == "-o") {
        if (args.size() < 2)
            return UsageError("get");
        file = args[1];
        first = 2;
    }
    if (first >= args.size())
        return UsageError("get");
    const Args urls(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
    if (!file.empty()) {
        return reportingFailure([&] {
            // The target is replaced only once every body has arrived: after a failure
            // it is untouched.
            AtomicFile part(file);
            requestEach(urls, [&](TIdHTTP& http, const std::string& url) {
                http.GetToSink(url, [&](const char* data, size_t size) { part.write(data, size); });
            });
            part.commit();
        });
    }
    return reportingFailure([&] {
        std::string bodies;
        requestEach(urls, [&](TIdHTTP& http, const std::string& url) { http.GetToStream(url, bodies); });
        writeStdout(bodies);
    });
}

int runHead(const Args& args)
{
    if (args.empty())
        return UsageError("head");
    return reportingFailure([&] {
        std::string lines;
        requestEach(args, [&](TIdHTTP& http, const std::string& url) {
            http.Head(url);
            lines += std::to_string(http.StatusCode()) + " " + std::to_string(http.ContentLength()) + "\n";
        });
        writeStdout(lines);
    });
}

}  // namespace

QUAVREL_NET_COMMAND("get", runGet, "get [-o FILE] URL...",
                    "Fetches each URL in turn on one connection, with the cookies of the earlier answers,\n"
                    "and writes the bodies to standard output, or to FILE, only once all of them have\n"
                    "arrived whole. On the first failure nothing is written, FILE keeps what it held,\n"
                    "\"CLASS: MESSAGE\" goes to standard error and the exit status is 1.");
QUAVREL_NET_COMMAND("head", runHead, "head URL...",
                    "Sends a HEAD request for each URL in turn and prints \"STATUS LENGTH\" per URL (-1\n"
                    "for a missing length). On the first failure \"CLASS: MESSAGE\" goes to standard\n"
                    "error and the exit status is 1.");

}  // namespace quavrel::cli
