#include "ui/main/PileDeletePrompt.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(PileDeletePrompt, titleQuotesTheNameAndMessageCountsThings)
{
    struct Case {
        int count;
        const char* message;
    };
    const Case cases[] = {
        {0, "It's empty."},
        {1, "It has 1 thing in it. Ctrl+Z undoes this."},
        {2, "It has 2 things in it. Ctrl+Z undoes this."},
        {12, "It has 12 things in it. Ctrl+Z undoes this."},
    };
    for (const Case& c : cases) {
        const PileDeletePrompt prompt = PileDeletePrompt::forPile(QStringLiteral("Trip"), c.count);
        EXPECT_EQ(prompt.title, QString::fromUtf8("Delete \u201CTrip\u201D?")) << c.count;
        EXPECT_EQ(prompt.message, QString::fromUtf8(c.message)) << c.count;
    }
}

} // namespace
} // namespace vorn
