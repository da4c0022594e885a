// The real dialogs: a box opens over the window that asked, stays above it and
// takes the keyboard, also when a long step left no window active.
#include "admin/errorhandler.h"
#include "admin/tfrcompany.h"
#include "admin/tfrconfig.h"
#include "admin/tfrcopydir.h"
#include "admin/tfropcrl.h"
#include "common/errors.h"
#include "documents/tfrcash.h"
#include "masterdata/partneredit.h"
#include "masterdata/tfrproductedit.h"
#include "masterdata/tfrproductp.h"
#include "masterdata/tfrspec.h"
#include "support/fixture.h"
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

using namespace qm;

namespace {
// How the box in front looked while it was shown.
struct Seen {
    QString kind;              // class of the box
    QWidget* owner = nullptr;  // the window it belongs to
    bool onTop = false;        // in the layer of the windows that stay on top
    bool transient = false;    // the window system keeps it over its owner
    bool active = false;       // it has the keyboard
};

class BoxOwner : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        dlg::setBackend(std::make_unique<WidgetDialogs>());
    }
    void TearDown() override
    {
        delete Frm_ErrorMessage;
        AppFixture::TearDown();
    }

    // Runs `show` as a long step would end: no window active. Looks at the
    // modal box it opens and closes it.
    static Seen seenWithNoWindowActive(const std::function<void()>& show)
    {
        QApplication::setActiveWindow(nullptr);
        Seen seen;
        QTimer::singleShot(0, [&seen] {
            QCoreApplication::processEvents();
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box) return;
            seen.kind = QString::fromLatin1(box->metaObject()->className());
            seen.owner = box->parentWidget();
            seen.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            seen.transient = seen.owner && box->windowHandle()
                             && box->windowHandle()->transientParent() == seen.owner->windowHandle();
            seen.active = QApplication::activeWindow() == box;
            box->done(QDialog::Rejected);
        });
        show();
        return seen;
    }
};
}

TEST_F(BoxOwner, AMessageFromALongStepOpensOverEachWindowThatStaysOnTop)
{
    const std::vector<std::pair<const char*, std::function<QWidget*()>>> windows = {
        {"backup", [] { return new Tfrcopydir(frmain); }},
        {"options", [] { return new Tfrconfig(frmain); }},
        {"company", [] { return new TFrcompany(frmain); }},
        {"operator rights", [] { return (new Tfropcrl(frmain))->Fropedit; }},
        {"product editor", [] { return new Tfrproductedit(frmain); }},
        {"partner editor", [] { return new Tfrcustomeredit(frmain); }},
        {"units", [] { return new Tfrspecedit(frmain); }},
        {"tender", [] { return new TFrcash(frmain, 12.5, 0, [](double) {}); }},
        {"row editor", [] {
             frdm->Aqproduct->open();
             auto* e = new Tfrproductpedit(frmain);
             e->setWindowModality(Qt::ApplicationModal); // as when it is run modally
             return e;
         }},
    };
    for (const auto& [name, make] : windows) {
        SCOPED_TRACE(name);
        QPointer<QWidget> w = make();
        ASSERT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        w->show();
        const Seen seen = seenWithNoWindowActive([] { dlg::showMessage(QStringLiteral("数据备份完毕！")); });
        EXPECT_EQ(seen.kind, "QMessageBox");
        EXPECT_EQ(seen.owner, w.data());
        EXPECT_TRUE(seen.onTop);
        EXPECT_TRUE(seen.transient);
        EXPECT_TRUE(seen.active);
        // Closed, it hands the keyboard back to the window that asked.
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), w.data());
        delete w.data();
    }
}

TEST_F(BoxOwner, TheActiveWindowOrElseTheLatestOnTopOwnsQuestionsAndModalWindows)
{
    auto* options = new Tfrconfig(frmain);
    options->show();
    auto* company = new TFrcompany(frmain);
    company->show();
    // The window that came forward last is the one on top.
    Seen seen = seenWithNoWindowActive([] { dlg::askYesNo(QStringLiteral("是否进行备份数据?")); });
    EXPECT_EQ(seen.owner, company);
    options->activateWindow();
    QApplication::setActiveWindow(options);
    EXPECT_EQ(dlg::ownerWindow(), options);

    // The error window: owned by the window on top while shown, its own after.
    seen = seenWithNoWindowActive([] {
        reportException(nullptr, std::make_exception_ptr(ConversionError(QStringLiteral("'.' is not a valid number"))));
    });
    EXPECT_EQ(seen.kind, "TFrm_ErrorMessage");
    EXPECT_EQ(seen.owner, options); // activated after the company window
    EXPECT_TRUE(seen.onTop);
    EXPECT_TRUE(seen.active);
    ASSERT_TRUE(Frm_ErrorMessage);
    EXPECT_EQ(Frm_ErrorMessage->parentWidget(), nullptr);
    EXPECT_FALSE(Frm_ErrorMessage->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // An input box and a file chooser too.
    seen = seenWithNoWindowActive([] {
        QString typed;
        dlg::inputText(QStringLiteral("提示"), QStringLiteral("请输入"), typed);
    });
    EXPECT_EQ(seen.owner, options);
    EXPECT_TRUE(seen.onTop);
    seen = seenWithNoWindowActive([this] { dlg::openFile(QStringLiteral("打开"), folder()); });
    EXPECT_EQ(seen.kind, "QFileDialog");
    EXPECT_EQ(seen.owner, options);
    delete company;
    delete options;
}
