// The family file's steps column as the planner (or anything else) may have written it. Steps read
// from it must encode to text that reads back as the same steps; steps without a UTF-8 form (a lone
// surrogate through "\ud800") encode as no steps at all.
#include "family/FamilyStore.h"

#include <cstddef>
#include <cstdint>

using namespace vorn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString column = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::vector<SharedStep> steps = decodeSteps(column);
    const QString json = encodeSteps(steps);
    bool encodable = true;
    for (const SharedStep& step : steps)
        encodable = encodable && step.title.isValidUtf16();
    const std::vector<SharedStep> again = decodeSteps(json);
    if (again != (encodable ? steps : std::vector<SharedStep>{}))
        __builtin_trap();
    if (encodeSteps(again) != json)
        __builtin_trap();
    return 0;
}
