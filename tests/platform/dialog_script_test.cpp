// Dialog scripts as text: one action or message-box answer a line, comments and
// blank lines skipped, and a bad line refused with its number.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/automation/dialog_script.h"

namespace {

using platform::DialogAction;
using platform::ScriptLine;

TEST(DialogScript, ReadsActionsAndAnswersInTheirOrder) {
    std::vector<ScriptLine> lines;
    int bad = -1;
    std::string why;
    ASSERT_TRUE(platform::ReadDialogScript("# a comment\r\n\n  click 1044\r\nanswer 7\n   \ntype 1038 \"0.5\"\n", lines,
                                           bad, why))
        << why;
    EXPECT_EQ(bad, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].answer, 0);
    EXPECT_EQ(lines[0].action.kind, DialogAction::kClick);
    EXPECT_EQ(lines[0].action.control, 1044);
    EXPECT_EQ(lines[1].answer, 7);
    EXPECT_EQ(lines[2].action.kind, DialogAction::kType);
    EXPECT_EQ(lines[2].action.text, "0.5");
}

TEST(DialogScript, ABadLineIsRefusedWithItsNumberAndNothingIsAppended) {
    std::vector<ScriptLine> lines;
    int bad = 0;
    std::string why;
    for (const char* answer : {"answer", "answer 0", "answer 2 3", "answer x"}) {
        EXPECT_FALSE(platform::ReadDialogScript(std::string("click 1\n\n") + answer + "\n", lines, bad, why)) << answer;
        EXPECT_EQ(bad, 3) << answer;
        EXPECT_EQ(why, "answer needs a button id");
    }
    EXPECT_FALSE(platform::ReadDialogScript("click 1\nwave 3\n", lines, bad, why));
    EXPECT_EQ(bad, 2);
    EXPECT_FALSE(why.empty());

    platform::ScriptedInputSource user;
    std::string error;
    EXPECT_FALSE(user.AddScript("answer 6\nclick 1\nwave\n", error));
    EXPECT_EQ(error.compare(0, 7, "line 3:"), 0) << error;
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_TRUE(user.answers.empty());
    ASSERT_TRUE(user.AddScript("answer 6\nclick 1\n", error));
    EXPECT_EQ(user.Pending(), 1u);
    EXPECT_EQ(user.answers.size(), 1u);
}

}  // namespace
