#include "transfer/exchange/ImportReader.h"
#include "transfer/exchange/MarkdownExport.h"

#include <cstddef>
#include <cstdint>

// Whatever the text, reading it must not crash or hang. And what a Markdown reading found, written
// out as our export and read again, must come back thing for thing: titles (whatever brackets they end
// in), marks, steps and notes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const vorn::ImportText first = vorn::readImport(text);
    if (first.format != vorn::ImportText::Format::markdown)
        return 0;
    std::vector<vorn::ExchangeList> lists;
    std::vector<vorn::ExchangeThing> things;
    for (const vorn::ImportList& list : first.lists) {
        lists.push_back(list);
        lists.back().line = 0;
        things.insert(things.end(), list.things.begin(), list.things.end());
    }
    const vorn::ImportText second = vorn::readImport(vorn::writeMarkdown(lists));
    std::vector<vorn::ExchangeThing> again;
    for (const vorn::ImportList& list : second.lists)
        again.insert(again.end(), list.things.begin(), list.things.end());
    if (!second.problems.empty() || again != things)
        __builtin_trap();
    return 0;
}
