// The transfer JSON decoder, on whatever another program put on the clipboard. What decodes must
// encode to JSON that decodes to the same things, and encoding that again gives the same bytes.
#include "transfer/Transfer.h"

#include <cstddef>
#include <cstdint>

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto things = Transfer::decode(QByteArrayView(data, qsizetype(size)));
    if (!things)
        return 0;
    const std::optional<QByteArray> json = Transfer::encode(*things);
    if (!json)
        __builtin_trap();
    const auto again = Transfer::decode(*json);
    if (!again || *again != *things)
        __builtin_trap();
    if (Transfer::encode(*again) != json)
        __builtin_trap();
    return 0;
}
