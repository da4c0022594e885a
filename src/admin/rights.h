#pragma once
// The administrator rule and the password re-check before dangerous commands.
#include <QString>

namespace qm {
// True for operator "999"; anyone else sees `refusal` and gets false.
bool requireAdministrator(const QString& refusal = QStringLiteral("该用户无权使用此功能！"));
// Asks for the login password again ("提示信息", "请输入操作员密码:" and ten
// blanks). The trimmed typed text must equal the trimmed login password, else
// "输入操作员密码错误,请重新操作！" and false; Cancel fails the same way.
// Some commands ask with a prompt of their own.
bool recheckPassword(const QString& prompt = QStringLiteral("请输入操作员密码:          "));
}
