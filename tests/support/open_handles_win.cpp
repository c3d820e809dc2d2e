// The system's table of open handles, filtered to this process. GetProcessHandleCount
// would be the short way, but Wine answers it with 0.
#include "tests/support/open_handles.h"

#include <windows.h>
#include <winternl.h>

#include <vector>

namespace quavrel::test {
namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ULONG grantedAccess;
};

struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

}  // namespace

int OpenHandleCount()
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ULONG length = 0;
        const NTSTATUS status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemHandleInformation),
                                                         buffer.data(), static_cast<ULONG>(buffer.size()), &length);
        if (status == kInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            return -1;
        break;
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const USHORT self = static_cast<USHORT>(GetCurrentProcessId());
    int count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        count += table->entries[i].processId == self;
    return count;
}

}  // namespace quavrel::test
