// The desktop clipboard as a pasteboard, on the offscreen platform so the user's clipboard is never touched.
#include "family/FamilyConstants.h"
#include "transfer/ClipboardPasteboard.h"
#include "transfer/Transfer.h"

#include "support/TestEnvironment.h"
#include <QClipboard>

#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;

TEST(Clipboard, thingsGoOutInEveryFormatAndChecklistsComeIn)
{
    TransferThing noted;
    noted.title = u"Pay r\u00E9nt"_s;
    noted.steps = {{u"call"_s, true}};
    noted.rtf = QByteArray("{\\rtf1 x}");
    TransferThing other;
    other.title = u"Milk"_s;

    ClipboardPasteboard board;
    Transfer::copy({noted}, board);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(mime->text(), u"Pay r\u00E9nt"_s);
    EXPECT_EQ(mime->data(u"text/rtf"_s), QByteArray("{\\rtf1 x}"));
    EXPECT_EQ(Transfer::paste(board), std::vector<TransferThing>{noted});

    // A new copy replaces every type: no RTF of the one before is left.
    Transfer::copy({noted, other}, board);
    mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_FALSE(mime->hasFormat(u"text/rtf"_s));
    EXPECT_EQ(mime->text(), u"Pay r\u00E9nt\nMilk"_s);

    // Another program's checklist.
    QGuiApplication::clipboard()->setText(u"- [ ] a\n- [x] b\n    - [ ] sub"_s);
    const std::vector<TransferThing> things = Transfer::paste(board);
    ASSERT_EQ(things.size(), 2u);
    EXPECT_EQ(things[1].steps, (std::vector<TransferStep>{{u"sub"_s, false}}));
    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(Transfer::paste(board).empty());
}
