// Commands of the main window's own items: printer set-up, help, calculator,
// about box, operator hand-over and exit.
#include "app/mainmenu.h"
#include "app/tfrmain.h"
#include "common/aboutbox.h"
#include "common/assets.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "common/printer.h"
#include "common/shell.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"

namespace qm {
const QStringList& calculatorPrograms()
{
    static const QStringList programs = {
        QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),     QStringLiteral("galculator"),
        QStringLiteral("mate-calc"),        QStringLiteral("qalculate-gtk"), QStringLiteral("xcalc"),
    };
    return programs;
}
}

// 打印设置: the set-up of the one printer all reports print on.
QM_COMMAND("N36", [] { qm::dlg::printerSetup(&qm::sharedPrinter()); });

// 版权声明
QM_COMMAND("N42", [] { qm::openModalWindow(new TAboutBox(frmain)); });

// 使用说明: the help page shipped beside the program, in the desktop's browser.
QM_COMMAND("N48", [] {
    const QString name = QStringLiteral("vkhelp.html");
    const QString help = qm::assetFile(name);
    if (help.isEmpty() || !qm::shell::openFile(help))
        qm::dlg::showMessage(QStringLiteral("不能打开帮助文件 ") + qm::AppPaths::file(QStringLiteral("assets/") + name));
});

// 计算器
QM_COMMAND("N30", [] {
    const QString program = qm::shell::findProgram(qm::calculatorPrograms());
    if (program.isEmpty() || !qm::shell::startDetached(program))
        qm::dlg::showMessage(QStringLiteral("没有找到计算器程序,请先安装一个计算器(例如 gnome-calculator 或 kcalc)。"));
});

// 退出系统
QM_COMMAND("N2", [] {
    if (frmain) frmain->close();
});
