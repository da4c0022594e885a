// Commands run while another program holds the database past the wait: one
// message that the data is in use, nothing written, never the error window.
#include "admin/errorhandler.h"
#include "app/application.h"
#include "common/errors.h"
#include "documents/docdata.h"
#include "documents/docwindows.h"
#include "documents/purchase.h"
#include "documents/salewindows.h"
#include "documents/tfrcash.h"
#include "shell/commands.h"
#include "support/faultvfs.h"
#include <QLineEdit>

using namespace qm;
using namespace qm::doc;
using namespace doctest;

namespace {
class DataInUseTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Connection::setBusyWait(100);
        frdm->connectTo(AppPaths::workingDatabase());
        supplier("0000000007", QStringLiteral("供应商甲"), 200);
        product("101", QStringLiteral("铅笔"), 10, 5, 4);
        product("102", QStringLiteral("橡皮"), 10, 1, 2);
    }
    void TearDown() override
    {
        for (QWidget* w : frmain->findChildren<DocumentWindow*>()) delete w;
        delete Frm_ErrorMessage;
        AppFixture::TearDown();
        Connection::setBusyWait(5000);
    }
    template <typename W>
    W* opened(QWidget* w)
    {
        auto* out = qobject_cast<W*>(w);
        EXPECT_NE(out, nullptr);
        return out;
    }
    // Runs the command as the event loop does, under a writer's and under a
    // reader's lock: it says the data is in use, once, and writes nothing.
    void underLock(const char* name, const std::function<void()>& command, const std::function<void()>& prepare = {})
    {
        for (bool writer : {true, false}) {
            SCOPED_TRACE(std::string(name) + (writer ? " under a writer" : " under a reader"));
            if (prepare) prepare();
            const QStringList before = snapshot();
            dialogs->clear();
            dialogs->answers = {Answer::Ok, Answer::Ok, Answer::Ok};
            dialogs->inputs = {"123456"};
            {
                std::unique_ptr<fault::WriterHold> w;
                std::unique_ptr<fault::ReaderHold> r;
                if (writer) w = std::make_unique<fault::WriterHold>(AppPaths::workingDatabase());
                else r = std::make_unique<fault::ReaderHold>(AppPaths::workingDatabase());
                Application::guard(frmain, command);
            }
            EXPECT_EQ(dialogs->messages().count(dataInUseText()), 1) << dialogs->messages().join("\n").toStdString();
            for (const auto& s : dialogs->shown) EXPECT_NE(s.caption, QStringLiteral("异常信息"));
            settleBakCopies();
            EXPECT_EQ(snapshot().join('\n').toStdString(), before.join('\n').toStdString());
        }
    }
};
}

TEST_F(DataInUseTest, PostingVoidingReversalMonthEndAndTheTill)
{
    // 过帐 and 作废 of a purchase being entered.
    frmain->docMode = "T";
    auto* entry = opened<EntryWindow>(openEntryWindow(DocKind::Purchase, nullptr));
    entry->box("Edit2")->setText("7");
    entry->Edit2Exit();
    frdm->AQoutdetail->last();
    entry->box("Edit12")->setText("101");
    entry->Edit12Enter();
    entry->ToolButton3Click();
    underLock("过帐", [&] { entry->ToolButton4Click(); });
    underLock("作废", [&] { entry->ToolButton6Click(); });
    delete entry;

    // 冲数 of a posted purchase.
    const QString doc = newDocument(db(), purchaseDesc());
    fillLast(purchaseDesc(), doc, "102", 3, 2);
    post(db(), purchaseDesc(), doc, input("7"), false, "999");
    frdm->AQoutlist->close();
    frdm->AQoutlist->setSql("SELECT * from inlist WHERE pass=1");
    frdm->AQoutlist->open();
    auto* view = opened<PostedView>(openPostedView(DocKind::Purchase, nullptr));
    underLock("冲数", [&] { view->ToolButton6Click(); });
    delete view;

    underLock("月终", [] { runCommand("N65"); });

    // 收款 at the till.
    ASSERT_TRUE(runCommand("N29"));
    auto* sale = frmain->findChild<SaleEntryWindow*>();
    ASSERT_TRUE(sale);
    sale->box("Edit12")->setText("101");
    sale->Edit12Enter();
    sale->ToolButton3Click();
    underLock(
        "收款",
        [] {
            Frcash->Edit2->setText("100");
            Frcash->Button1Click();
        },
        [&] {
            if (!Frcash) sale->ToolButton8Click();
            ASSERT_TRUE(Frcash);
        });
}
