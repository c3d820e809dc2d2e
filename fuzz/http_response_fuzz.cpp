// Arbitrary bytes as a server's answer: the response reader must either read a response
// or fail with one of the client's exceptions, never crash or read out of bounds. The
// first byte chooses how the bytes are cut into receives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_errors.h"
#include "http/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = 1 + data[0] % 64;
    quavrel::StringInput input(std::string(reinterpret_cast<const char*>(data + 1), size - 1), step);
    try {
        for (int response = 0; response < 4; ++response) {
            quavrel::HttpResponse head;
            quavrel::ReadResponseHead(input, head);
            std::string body;
            quavrel::ReadResponseBody(input, head, body);
            if (head.contentLength > 0 && body.size() > static_cast<size_t>(head.contentLength))
                __builtin_trap();   // a counted body never grows past its length
            if (input.closed() && input.buffered() == 0)
                break;
        }
    } catch (const quavrel::Exception&) {
    }
    return 0;
}
