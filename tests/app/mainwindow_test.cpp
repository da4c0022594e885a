#include "admin/backup.h"
#include "admin/tfrcopydir.h"
#include "app/application.h"
#include "app/mainmenu.h"
#include "app/navigator.h"
#include "common/aboutbox.h"
#include "common/errors.h"
#include "common/shell.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include "support/fixture.h"
#include "support/visible.h"
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScopeGuard>
#include <QTranslator>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <QTest>
#include <memory>
#include <vector>

namespace {
void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QAction* item(const QString& name) { return frmain->findChild<QAction*>(name); }

// A plain window the test registers under a menu item.
struct Opened {
    int count = 0;
    QPointer<QWidget> last;
};
}

class MainWindowTest : public AppFixture {
protected:
    void TearDown() override
    {
        qm::shell::setHook({});
        AppFixture::TearDown();
    }
};

TEST_F(MainWindowTest, MenusAndToolbarAsTheOperatorSeesThem)
{
    // Menu titles: each with its own accelerator letter.
    QStringList letters;
    for (QAction* m : frmain->menuBar()->actions()) {
        const QString t = m->text();
        ASSERT_TRUE(t.startsWith('&')) << qPrintable(t);
        EXPECT_FALSE(letters.contains(t.mid(1, 1))) << qPrintable(t);
        letters << t.mid(1, 1);
    }
    EXPECT_EQ(letters.size(), 8);

    // Within each menu: captions present and not repeated anywhere, no
    // separator at either end or twice in a row among what is shown.
    QStringList captions;
    for (QAction* m : frmain->menuBar()->actions()) {
        QList<QAction*> shown;
        for (QAction* a : m->menu()->actions())
            if (a->isVisible()) shown << a;
        ASSERT_FALSE(shown.isEmpty()) << qPrintable(m->text());
        EXPECT_FALSE(shown.front()->isSeparator()) << qPrintable(m->text());
        EXPECT_FALSE(shown.back()->isSeparator()) << qPrintable(m->text());
        for (int i = 0; i < shown.size(); ++i) {
            if (shown[i]->isSeparator()) {
                EXPECT_FALSE(i + 1 < shown.size() && shown[i + 1]->isSeparator()) << qPrintable(m->text());
                continue;
            }
            EXPECT_FALSE(shown[i]->text().isEmpty()) << qPrintable(shown[i]->objectName());
            EXPECT_FALSE(captions.contains(shown[i]->text())) << qPrintable(shown[i]->text());
            captions << shown[i]->text();
        }
    }
    // What is kept out of sight: 仓库设置, 现金银行流水帐, 数据处理, the new sale
    // (still on F2) and the disabled last-year pair.
    for (const char* hidden : {"N81", "N27", "N35", "N29", "N57", "N59"}) {
        ASSERT_TRUE(item(hidden)) << hidden;
        EXPECT_FALSE(item(hidden)->isVisible()) << hidden;
        EXPECT_FALSE(captions.contains(item(hidden)->text())) << hidden;
    }
    EXPECT_FALSE(item("N57")->isEnabled());
    EXPECT_FALSE(item("N59")->isEnabled());
    EXPECT_EQ(item("N29")->shortcut(), QKeySequence(Qt::Key_F2));

    // Toolbar: every button shown has its picture and its whole caption; 销售单
    // says where sales are made; the navigator check box starts ticked.
    frmain->resize(1024, 700);
    frmain->show();
    int shownButtons = 0;
    for (QAction* a : frmain->ToolBar1->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        auto* b = qobject_cast<QToolButton*>(frmain->ToolBar1->widgetForAction(a));
        if (!b) continue;
        ++shownButtons;
        EXPECT_FALSE(a->icon().isNull()) << qPrintable(a->text());
        EXPECT_LE(b->fontMetrics().horizontalAdvance(a->text()), b->width()) << qPrintable(a->text());
        EXPECT_TRUE(frmain->ToolBar1->rect().contains(b->geometry())) << qPrintable(a->text());
    }
    EXPECT_EQ(shownButtons, 10);
    EXPECT_EQ(frmain->findChild<QAction*>("ToolButton5")->toolTip(), QStringLiteral("请用前台销售开单收银"));
    EXPECT_TRUE(frmain->CheckBox1->isChecked());
    frmain->hide();
}

TEST_F(MainWindowTest, AdministratorRuleRefusesBeforeAnythingOpens)
{
    Opened opened;
    auto open = [&opened] {
        qm::openChildWindow([&opened](QWidget* owner) {
            ++opened.count;
            auto* w = new QWidget(owner);
            opened.last = w;
            return w;
        });
    };
    std::vector<std::unique_ptr<qm::ScopedCommand>> standIns;
    for (const char* name : {"N15", "N82", "N13", "N10", "N17", "N45", "N22"})
        standIns.push_back(std::make_unique<qm::ScopedCommand>(name, open));

    loginAs("001");
    frmain->findChild<QAction*>("N15")->trigger();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能！"));
    EXPECT_EQ(dialogs->shown.back().caption, qm::appTitle());
    EXPECT_FALSE(qm::runMenuItem("N45"));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权使用此功能！"));
    EXPECT_FALSE(qm::runMenuItem("N22"));
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权对系统进行设置！"));
    EXPECT_EQ(opened.count, 0);
    EXPECT_TRUE(frmain->isEnabled());

    // The administrator passes; the protocol disables the main window while
    // the window is open and its close gives it back.
    loginAs("999");
    dialogs->clear();
    EXPECT_TRUE(qm::runMenuItem("N15"));
    EXPECT_TRUE(dialogs->messages().isEmpty());
    ASSERT_EQ(opened.count, 1);
    EXPECT_FALSE(frmain->isEnabled());
    ASSERT_TRUE(opened.last);
    EXPECT_TRUE(opened.last->isEnabled()) << "the opened window must stay usable while its owner is disabled";
    opened.last->close();
    flushDeletes();
    EXPECT_FALSE(opened.last);
    EXPECT_TRUE(frmain->isEnabled());

    // Items open to everyone run for any operator; those without a window yet do nothing.
    loginAs("002");
    qm::ScopedCommand productList("N14", open);
    EXPECT_TRUE(qm::runMenuItem("N14"));
    opened.last->close();
    flushDeletes();
    EXPECT_TRUE(frmain->isEnabled());
    EXPECT_FALSE(qm::runMenuItem("N999"));
}

TEST_F(MainWindowTest, ProtocolLeavesNothingDisabledAfterAnError)
{
    // Preparing the shared dataset fails: no window left, main window usable.
    QPointer<QWidget> made;
    EXPECT_THROW(qm::openChildWindow(
                     [&made](QWidget* owner) {
                         made = new QWidget(owner);
                         return made.data();
                     },
                     [] {
                         frdm->Aqproduct->setSql("SELECT * from no_such_table");
                         frdm->Aqproduct->open();
                     }),
                 qm::DbError);
    EXPECT_FALSE(made);
    EXPECT_TRUE(frmain->isEnabled());

    // The factory itself fails.
    EXPECT_THROW(qm::openChildWindow([](QWidget*) -> QWidget* { throw qm::FileOpenError("x"); }), qm::FileOpenError);
    EXPECT_TRUE(frmain->isEnabled());

    // A command stopping silently after its message is swallowed by the dispatcher.
    qm::ScopedCommand stopping("N86", [] {
        qm::dlg::showMessage("stop");
        throw qm::SilentStop();
    });
    EXPECT_FALSE(qm::runMenuItem("N86"));
    EXPECT_TRUE(frmain->isEnabled());

    // An owned window that stays enabled leaves the main window enabled too;
    // a window disabled on purpose stays disabled when the owner changes.
    QWidget* w = qm::openOwnedWindow([](QWidget* owner) { return new QWidget(owner); });
    EXPECT_TRUE(frmain->isEnabled());
    auto* busy = new QWidget(frmain, Qt::Window);
    busy->setEnabled(false);
    frmain->setEnabled(false);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(busy->isEnabled());
    frmain->setEnabled(true);
    EXPECT_FALSE(busy->isEnabled());
    w->close();
    delete busy;
    flushDeletes();
}

TEST_F(MainWindowTest, ModalWindowsAndShellCommands)
{
    // The about box is modal and leaves the main window enabled; its contact
    // labels open the mail handler and the web address and close it.
    QStringList requests;
    qm::shell::setHook([&requests](const QString& action, const QString& target) {
        requests << action + ":" + target;
        return true;
    });
    bool enabledDuring = false;
    dialogs->onExec = [&](QDialog* d) {
        enabledDuring = frmain->isEnabled();
        auto* box = qobject_cast<TAboutBox*>(d);
        EXPECT_NE(box, nullptr);
        if (!box) return d->result();
        // The program's icon, the product and contact lines, all whole.
        EXPECT_FALSE(box->ProgramIcon->pixmap().isNull());
        EXPECT_EQ(visible::layoutProblems(box), QStringList());
        box->Label3Click();
        return d->result();
    };
    EXPECT_TRUE(qm::runMenuItem("N42"));
    EXPECT_TRUE(enabledDuring);
    EXPECT_EQ(dialogs->shown.back().caption, QStringLiteral("版权声明"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].startsWith("url:mailto:", Qt::CaseInsensitive)) << requests[0].toStdString();
    EXPECT_TRUE(frmain->findChildren<TAboutBox*>().isEmpty()) << "the about box is released";
    EXPECT_FALSE(frmain->windowIcon().isNull());

    // Help opens the help page shipped with the program: starting, daily work, backups.
    requests.clear();
    dialogs->clear();
    qm::runMenuItem("N48");
    ASSERT_EQ(requests.size(), 1);
    const QString page = requests[0].mid(QStringLiteral("file:").size());
    EXPECT_TRUE(page.endsWith("/assets/vkhelp.html")) << qPrintable(page);
    QFile help(page);
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());
    for (const char* part : {"开始使用", "日常工作", "数据备份", "BAK0"}) EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;
    EXPECT_TRUE(dialogs->messages().isEmpty());

    // The calculator: the first one installed, or a clear message.
    requests.clear();
    dialogs->clear();
    qm::runMenuItem("N30");
    const QString calc = qm::shell::findProgram(qm::calculatorPrograms());
    if (calc.isEmpty()) {
        EXPECT_TRUE(requests.isEmpty());
        EXPECT_TRUE(dialogs->lastMessage().contains(QStringLiteral("没有找到计算器程序"))) << dialogs->lastMessage().toStdString();
    } else {
        EXPECT_EQ(requests, QStringList({"start:" + calc}));
    }

    // Printer set-up on the shared printer.
    qm::runMenuItem("N36");
    EXPECT_EQ(dialogs->shown.back().kind, QStringLiteral("printer"));

    // The toolbar's 退出 closes the main window.
    frmain->show();
    frmain->findChild<QAction*>("ToolButton11")->trigger();
    EXPECT_FALSE(frmain->isVisible());
}

TEST_F(MainWindowTest, NavigatorGroupsHoverAndToggle)
{
    qm::Navigator* nav = frmain->navigator;
    frmain->show();
    ASSERT_EQ(nav->groups.size(), 4);
    EXPECT_EQ(nav->currentGroup(), 0);
    QStringList captions;
    for (auto* g : nav->groups) captions << g->caption();
    EXPECT_EQ(captions, QStringList({"基本资料", "进货管理", "销售管理", "系统管理"}));
    EXPECT_TRUE(nav->groups[0]->isVisible());
    EXPECT_FALSE(nav->groups[1]->isVisible());
    EXPECT_FALSE(nav->tabs[0]->autoRaise());
    EXPECT_TRUE(nav->tabs[1]->autoRaise());
    // Pictures are real, decoded from the shipped JPEG files.
    EXPECT_FALSE(nav->groups[0]->pictures[0]->plain->pixmap().isNull());

    nav->tabs[2]->click();
    EXPECT_EQ(nav->currentGroup(), 2);
    EXPECT_TRUE(nav->groups[2]->isVisible());
    EXPECT_FALSE(nav->groups[0]->isVisible());
    EXPECT_FALSE(nav->tabs[2]->autoRaise());
    EXPECT_TRUE(nav->tabs[0]->autoRaise());

    // Unticking leaves only the background; ticking restores the same group.
    frmain->CheckBox1->click();
    EXPECT_FALSE(nav->strip->isVisible());
    EXPECT_FALSE(nav->area->isVisible());
    EXPECT_TRUE(nav->Image1->isVisible());
    frmain->CheckBox1->click();
    EXPECT_TRUE(nav->strip->isVisible());
    EXPECT_EQ(nav->currentGroup(), 2);
    EXPECT_TRUE(nav->groups[2]->isVisible());
    EXPECT_FALSE(nav->groups[0]->isVisible());

    // Hover: the plain picture brings the highlighted one forward, the panel
    // brings all back; clickable texts turn red and run their summary.
    qm::NavGroup* sales = nav->groups[2];
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(sales->pictures[0]->plain, &enter);
    EXPECT_TRUE(sales->pictures[0]->highlighted());
    sales->texts[0]->setHot(true);
    EXPECT_EQ(sales->texts[0]->palette().color(QPalette::WindowText), QColor(Qt::red));
    // Moving on over the highlighted picture or the text keeps them; the bare panel resets.
    auto moveTo = [sales](QWidget* over) {
        QPointF at = over ? QPointF(over->mapTo(sales, QPoint(2, 2))) : QPointF(sales->width() - 12, sales->height() - 12);
        QMouseEvent move(QEvent::MouseMove, at, sales->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(sales, &move);
    };
    moveTo(sales->pictures[0]->hot);
    moveTo(sales->texts[0]);
    EXPECT_TRUE(sales->pictures[0]->highlighted());
    EXPECT_EQ(sales->texts[0]->palette().color(QPalette::WindowText), QColor(Qt::red));
    moveTo(nullptr);
    EXPECT_FALSE(sales->pictures[0]->highlighted());
    EXPECT_EQ(sales->texts[0]->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::WindowText));
    EXPECT_FALSE(nav->groups[0]->texts[0]->isClickable());

    QStringList ran;
    std::vector<std::unique_ptr<qm::ScopedCommand>> standIns;
    for (const char* n : {"N60", "N72", "N39", "N22"})
        standIns.push_back(std::make_unique<qm::ScopedCommand>(n, [&ran, n] { ran << n; }));
    emit sales->texts[1]->clicked(sales->texts[1]->command()); // 销售日报表
    emit sales->texts[2]->clicked(sales->texts[2]->command());
    emit sales->pictures[0]->clicked(sales->pictures[0]->command());
    EXPECT_EQ(ran, QStringList({"N60", "N72", "N39"}));
    // The system group's 系统选项 keeps the administrator rule.
    loginAs("003");
    emit nav->groups[3]->pictures[0]->clicked("N22");
    EXPECT_EQ(ran.size(), 3);
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("该用户无权对系统进行设置！"));
}

TEST_F(MainWindowTest, BackgroundPictureIsStoredInTheOptions)
{
    QString pic = folder() + "my pic.jpg";
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    ASSERT_TRUE(img.save(pic, "JPG"));
    dialogs->files.push_back(pic);
    frmain->MenuItem1Click();
    EXPECT_EQ(frmain->navigator->background().size(), QSize(20, 10));
    EXPECT_EQ(frdm->ADOCon.scalar("select picfilename from config").toString(), pic);
    EXPECT_FALSE(frdm->ATCONFIG->active());

    // Cancel changes nothing; an unreadable file is reported and not stored.
    frmain->MenuItem1Click();
    QString bad = folder() + "bad.jpg";
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    dialogs->files.push_back(bad);
    EXPECT_THROW(frmain->MenuItem1Click(), qm::FileOpenError);
    EXPECT_EQ(frdm->ADOCon.scalar("select picfilename from config").toString(), pic);
}

TEST_F(MainWindowTest, HiddenItemKeysSharedCommandsAndNavigatorNames)
{
    frmain->setGeometry(100, 80, 1000, 700);
    frmain->show();
    // No event loop runs here, so the start-up sequence of the first show stays queued.
    QApplication::setActiveWindow(frmain);

    // 新开单 is hidden, yet F2 runs it.
    int newSale = 0;
    qm::ScopedCommand standIn("N29", [&newSale] { ++newSale; });
    QTest::keyClick(frmain, Qt::Key_F2);
    EXPECT_EQ(newSale, 1);
    EXPECT_FALSE(item("N29")->isVisible());

    // 销售日报表 opens the same summary as 员工销售汇总表.
    QStringList ran;
    qm::ScopedCommand staffSummary("N60", [&ran] { ran << "N60"; });
    item("N73")->trigger();
    item("N60")->trigger();
    EXPECT_EQ(ran, QStringList({"N60", "N60"}));

    // The navigator panels and their strip tabs carry their names.
    for (int i = 1; i <= 4; ++i) {
        ASSERT_NE(frmain->findChild<QWidget*>(QStringLiteral("PAN%1").arg(i)), nullptr) << i;
        ASSERT_NE(frmain->findChild<QToolButton*>(QStringLiteral("PC%1").arg(i)), nullptr) << i;
    }
    EXPECT_TRUE(frmain->findChild<QWidget*>("PAN1")->isVisible());
    EXPECT_FALSE(frmain->findChild<QWidget*>("PAN3")->isVisible());

    // A window opened by the protocol shows over the middle of the main window.
    QWidget* w = qm::openChildWindow([](QWidget* owner) {
        auto* child = new QWidget(owner);
        child->resize(300, 200);
        return child;
    });
    const QPoint offset = w->geometry().center() - frmain->geometry().center();
    EXPECT_LE(offset.manhattanLength(), 40) << offset.x() << "," << offset.y();
    w->close();
    flushDeletes();
    EXPECT_TRUE(frmain->isEnabled());
}

TEST_F(MainWindowTest, TheCaptionNamesTheCompanyOfTheDataRestored)
{
    frdm->ADOCon.exec("UPDATE company SET name=:p1", {{"p1", QStringLiteral("幸福超市")}});
    frmain->setLoggedInCaption();
    EXPECT_TRUE(frmain->windowTitle().endsWith(QStringLiteral("-用户名:幸福超市 操作员:999")));

    // A copy of other data under another name, restored over the working data.
    QDir().mkpath(folder() + "usb");
    qm::copyDatabaseFile(qm::AppPaths::workingDatabase(), folder() + "usb/vkdb.mdb");
    {
        qm::Connection copy;
        copy.open(folder() + "usb/vkdb.mdb");
        copy.exec("UPDATE company SET name=:p1", {{"p1", QStringLiteral("我的超市")}});
    }
    ASSERT_TRUE(qm::runCommand("N45"));
    QPointer<Tfrcopydir> window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
    ASSERT_TRUE(window);
    window->setFolder(folder() + "usb");
    window->BitBtn2Click();
    EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据恢复完毕！ \r")));
    EXPECT_TRUE(frmain->windowTitle().endsWith(QStringLiteral("-用户名:我的超市 操作员:999")));
    delete window.data();
}

TEST(QtTranslations, StandardDialogsSpeakChinese)
{
    QTranslator* chinese = qm::Application::loadQtTranslations();
    ASSERT_TRUE(chinese) << "Qt's own Chinese translations are not installed";
    const auto removed = qScopeGuard([chinese] {
        QCoreApplication::removeTranslator(chinese);
        delete chinese;
    });
    auto buttonTexts = [](QWidget* w) {
        QStringList out;
        for (auto* b : w->findChildren<QAbstractButton*>()) out << b->text().remove('&');
        return out;
    };
    // Standard buttons where the program sets no text of its own.
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttonTexts(&buttons), (QStringList{QStringLiteral("确定"), QStringLiteral("取消")}));

    QPrinter printer;
    QPrintDialog print(&printer);
    const QStringList printTexts = buttonTexts(&print);
    for (const QString& chinese : {QStringLiteral("打印(P)"), QStringLiteral("取消"), QStringLiteral("属性(R)")})
        EXPECT_TRUE(printTexts.contains(chinese)) << qPrintable(chinese + " not in " + printTexts.join('|'));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_TRUE(buttonTexts(&files).contains(QStringLiteral("取消"))) << qPrintable(buttonTexts(&files).join('|'));

    QPrintPreviewDialog preview(&printer);
    QStringList tips;
    for (auto* a : preview.findChildren<QAction*>()) tips << a->toolTip();
    EXPECT_TRUE(tips.contains(QStringLiteral("下一页"))) << qPrintable(tips.join('|'));
}
