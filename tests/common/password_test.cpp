#include "common/password.h"
#include "admin/rights.h"
#include "support/fixture.h"

TEST(EncodePassword, KnownVectors)
{
    EXPECT_EQ(qm::EncodePassword("123456"), "77MMUUccccSS");
    EXPECT_EQ(qm::EncodePassword(""), "");
    EXPECT_EQ(qm::EncodePassword("1").size(), 2);
    // k for positions 1..6 is 6, 27, 34, 47, 46, 29
    QString zeros = qm::EncodePassword("000000");
    const int k[] = {6, 27, 34, 47, 46, 29};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(zeros[2 * i].unicode(), '0' + k[i]);
        EXPECT_EQ(zeros[2 * i + 1], zeros[2 * i]);
    }
}

using Rights = AppFixture;

TEST_F(Rights, AdministratorRuleAndPasswordRecheck)
{
    EXPECT_TRUE(qm::requireAdministrator());
    loginAs("001", " 4321 ");
    EXPECT_FALSE(qm::requireAdministrator("该用户无权对系统进行设置！"));
    EXPECT_EQ(dialogs->lastMessage(), "该用户无权对系统进行设置！");

    dialogs->inputs.push_back("4321 ");
    EXPECT_TRUE(qm::recheckPassword());
    EXPECT_EQ(dialogs->shown.back().kind, "input");
    EXPECT_EQ(dialogs->shown.back().text, "请输入操作员密码:          ");

    dialogs->inputs.push_back("9999");
    EXPECT_FALSE(qm::recheckPassword());
    EXPECT_EQ(dialogs->lastMessage(), "输入操作员密码错误,请重新操作！");

    dialogs->clear();
    EXPECT_FALSE(qm::recheckPassword()); // Cancel
    EXPECT_EQ(dialogs->lastMessage(), "输入操作员密码错误,请重新操作！");

    // An operator who logged in with an empty password passes with an empty
    // text, but Cancel still stops the command.
    loginAs("002", "");
    dialogs->clear();
    EXPECT_FALSE(qm::recheckPassword());
    EXPECT_EQ(dialogs->lastMessage(), "输入操作员密码错误,请重新操作！");
    dialogs->inputs.push_back(" ");
    EXPECT_TRUE(qm::recheckPassword());
}
