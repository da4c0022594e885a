#include "admin/rights.h"
#include "common/dialogs.h"
#include "shell/session.h"

namespace qm {
bool requireAdministrator(const QString& refusal)
{
    if (qm::session().isAdministrator()) return true;
    dlg::showMessage(refusal);
    return false;
}

bool recheckPassword(const QString& prompt)
{
    QString typed;
    // Cancel never passes, not even for an operator whose password is empty.
    const bool answered = dlg::inputPassword(QStringLiteral("提示信息"), prompt, typed);
    QString login = qm::session().loginPassword;
    if (!answered || typed.trimmed() != login.trimmed()) {
        dlg::warning(QStringLiteral("输入操作员密码错误,请重新操作！"));
        return false;
    }
    return true;
}
}
