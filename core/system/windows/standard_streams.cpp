#include "core/system/standard_streams.h"

#include <windows.h>

namespace morvane {

// Windows hands out handles, never the numbers of the standard streams: a
// file opened later cannot take one's place, so there is nothing to claim,
// only to tell.
ClosedStreams claimStandardStreams()
{
    const auto closed = [](DWORD stream) {
        const HANDLE handle = ::GetStdHandle(stream);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    return {closed(STD_INPUT_HANDLE), closed(STD_OUTPUT_HANDLE), closed(STD_ERROR_HANDLE)};
}

} // namespace morvane
