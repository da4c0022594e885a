// Windows on the screen: the main window and the document lists take the
// whole work area with their frames; other windows and message boxes open over
// the middle of their owners, wide enough for their captions.
#include "documents/tfrdoclist.h"
#include "masterdata/tfrproductp.h"
#include "shell/commands.h"
#include "support/fixture.h"
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTableView>
#include <QTimer>

using namespace qm;

namespace {
class ScreenFit : public AppFixture {};
}

TEST_F(ScreenFit, MainWindowAndDocumentListsOpenMaximised)
{
    EXPECT_TRUE(frmain->windowState() & Qt::WindowMaximized);
    frmain->show();
    QWidget* list = doc::openDocumentListFromMenu(doc::DocKind::Purchase);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->windowState() & Qt::WindowMaximized);
    list->close();

    // The stock lists too, their many columns scrolling past the screen's edge.
    ASSERT_TRUE(runCommand("N7")); // 库存资产表
    ASSERT_TRUE(Frproductp);
    EXPECT_TRUE(Frproductp->windowState() & Qt::WindowMaximized);
    EXPECT_NE(Frproductp->DBGrid1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    Frproductp->close();
    frmain->hide();
}

TEST_F(ScreenFit, WindowsOpenOverTheirOwnersWideEnoughForTheirCaptions)
{
    QWidget owner(nullptr, Qt::Window);
    owner.setGeometry(QGuiApplication::primaryScreen()->availableGeometry().adjusted(40, 30, -200, -60));
    owner.show();
    auto* w = new QWidget(&owner, Qt::Window);
    w->setWindowTitle(QStringLiteral("进货明细单(已过帐)-供应商对帐表-现金银行流水帐"));
    w->resize(120, 80);
    w->show();
    EXPECT_GE(w->width(), captionWidth(w->windowTitle()));
    EXPECT_LE((w->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);

    // A message box, through the real dialogs.
    dlg::setBackend(std::make_unique<WidgetDialogs>());
    int width = 0;
    QTimer::singleShot(0, [&width] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            width = box->width();
            box->done(0);
        }
    });
    dlg::showMessage(QStringLiteral("好"));
    EXPECT_GE(width, captionWidth(appTitle()));
}
