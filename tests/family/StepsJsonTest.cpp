#include "family/FamilyStore.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

// The store compares this text literally with what the planner wrote, so it must match a standard
// encoder byte for byte, and read back to the same steps.
TEST(StepsJson, encodesCompactTitleFirstAndEscapesLikeAStandardEncoder)
{
    const struct {
        std::vector<SharedStep> steps;
        const char16_t* json;
    } cases[] = {
        {{}, u"[]"},
        {{{u"a"_s, true}, {u"b"_s, false}}, uR"([{"title":"a","done":true},{"title":"b","done":false}])"},
        {{{u"say \"hi\" \\ now"_s, false}}, uR"([{"title":"say \"hi\" \\ now","done":false}])"},
        {{{u"a\nb\tc\rd\be\ff"_s, false}}, uR"([{"title":"a\nb\tc\rd\be\ff","done":false}])"},
        {{{QString::fromUtf16(u"\x01\x1f\0\x7f", 4), true}},
         u"[{\"title\":\"\\u0001\\u001f\\u0000\x7f\",\"done\":true}]"},
        {{{u"a/b — é ✓ 😀"_s, true}}, uR"([{"title":"a/b — é ✓ 😀","done":true}])"},
    };
    for (const auto& c : cases) {
        const QString expected = QString::fromUtf16(c.json);
        SCOPED_TRACE(expected.toStdString());
        EXPECT_EQ(encodeSteps(c.steps), expected);
        EXPECT_EQ(decodeSteps(expected), c.steps);
    }
}

TEST(StepsJson, stepsWithoutUtf8FormEncodeAsNoSteps)
{
    const QString loneSurrogate(QChar(0xd800));
    EXPECT_EQ(encodeSteps({{u"fine"_s, true}, {loneSurrogate, false}}), u"[]"_s);
}

TEST(StepsJson, decodeAcceptsAnyValidArrayOfStepsAndNothingElse)
{
    const std::vector<SharedStep> ab{{u"a"_s, true}, {u"b"_s, false}};
    const struct {
        const char* json;
        std::vector<SharedStep> steps;
    } cases[] = {
        {R"( [ {"done":true, "title":"a"} ,{"title":"b","done":false,"extra":1} ] )", ab},
        {R"([{"title":"\u0061","done":true},{"title":"b","done":false}])", ab},
        {"", {}},
        {"not json", {}},
        {"[", {}},
        {R"({"title":"a","done":true})", {}},
        {R"([{"title":"a","done":true},3])", {}},
        {R"([{"title":"a","done":true},{"title":"b"}])", {}},
        {R"([{"title":"a","done":1}])", {}},
        {R"([{"title":2,"done":true}])", {}},
        {R"([{"title":null,"done":true}])", {}},
        {R"([{"title":"a","done":true}] trailing)", {}},
        {R"([{"title":"\ud800","done":true}])", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(decodeSteps(QString::fromUtf8(c.json)), c.steps);
        // The sync needs to know "no steps" from "can't tell".
        EXPECT_EQ(readSteps(QString::fromUtf8(c.json)).has_value(), !c.steps.empty());
    }
    EXPECT_EQ(readSteps(u"[]"_s), std::vector<SharedStep>{});
}

} // namespace
