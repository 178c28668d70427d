// The plain-text checklist reader, on clipboard text as it arrives (UTF-8 bytes). Whatever it reads
// must read back the same from our own checklist form of it, the "- [ ] title" lines --list prints.
#include "transfer/Transfer.h"

#include <cstddef>
#include <cstdint>

using namespace vorn;

namespace {

QString checklist(const std::vector<TransferThing>& things)
{
    QString out;
    for (const TransferThing& thing : things) {
        out += (thing.done ? u"- [x] " : u"- [ ] ") + thing.title + u'\n';
        for (const TransferStep& step : thing.steps)
            out += (step.done ? u"    - [x] " : u"    - [ ] ") + step.title + u'\n';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::vector<TransferThing> things = Transfer::parse(text);
    for (const TransferThing& thing : things) {
        if (thing.title.isEmpty())
            __builtin_trap();
    }
    if (Transfer::parse(checklist(things)) != things)
        __builtin_trap();
    return 0;
}
