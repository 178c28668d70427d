#include "notes/rtf/RtfDocument.h"

#include <cstddef>
#include <cstdint>

// Whatever the bytes, reading must not crash, hang or run out of memory (the sanitizers and libFuzzer's
// limits catch those). And whatever was read must survive a write and a second read unchanged, with the
// writer giving the same bytes both times: a difference is a bug in one side of the codec.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<vorn::rtf::Document> first =
        vorn::rtf::read(QByteArrayView(data, static_cast<qsizetype>(size)));
    if (!first)
        return 0;
    const QByteArray written = vorn::rtf::write(*first);
    const std::optional<vorn::rtf::Document> second = vorn::rtf::read(written);
    if (!second || !(*second == *first))
        __builtin_trap();
    if (vorn::rtf::write(*second) != written)
        __builtin_trap();
    return 0;
}
