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
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QDialogButtonBox>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <thread>

using namespace qm;

namespace {
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

    // Runs `show` as a long step would end, with no window active, and closes
    // the modal box it opens. Returns what the box was: "<class> over <its
    // owner>", followed by "on top" (in the layer of the windows that stay on
    // top, kept over its owner by the window system) and "active" when so.
    static std::string boxShownBy(const std::function<void()>& show)
    {
        QApplication::setActiveWindow(nullptr);
        QString seen;
        QTimer::singleShot(0, [&seen] {
            QCoreApplication::processEvents();
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box) return;
            QWidget* owner = box->parentWidget();
            seen = QString::fromLatin1(box->metaObject()->className()) + " over "
                   + (owner ? owner->objectName() : QStringLiteral("nothing"));
            if (box->windowFlags().testFlag(Qt::WindowStaysOnTopHint) && owner
                && box->windowHandle()->transientParent() == owner->windowHandle())
                seen += " on top";
            if (QApplication::activeWindow() == box) seen += " active";
            box->done(QDialog::Rejected);
        });
        show();
        return seen.toStdString();
    }
};
}

TEST_F(BoxOwner, ABoxFromALongStepOpensOverTheWindowThatAskedAndHandsTheKeyboardBack)
{
    // Every window that stays on top, one of them run modally.
    const std::vector<std::function<QWidget*()>> windows = {
        [] { return new Tfrcopydir(frmain); },
        [] { return new Tfrconfig(frmain); },
        [] { return new TFrcompany(frmain); },
        [] { return new Tfrproductedit(frmain); },
        [] { return new Tfrcustomeredit(frmain); },
        [] { return new Tfrspecedit(frmain); },
        [] { return (new Tfropcrl(frmain))->Fropedit; },
        [] { return new TFrcash(frmain, 12.5, 0, [](double) {}); },
        [] {
            frdm->Aqproduct->open();
            auto* e = new Tfrproductpedit(frmain);
            e->setWindowModality(Qt::ApplicationModal);
            return e;
        },
    };
    for (const auto& make : windows) {
        QPointer<QWidget> w = make();
        w->show();
        EXPECT_EQ(boxShownBy([] { dlg::showMessage(QStringLiteral("数据备份完毕！")); }),
                  ("QMessageBox over " + w->objectName() + " on top active").toStdString());
        // Closed, it hands the keyboard back to the window that asked.
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), w.data()) << qPrintable(w->objectName());
        delete w.data();
    }

    // The active window, or else the latest on top, owns a question.
    std::unique_ptr<Tfrconfig> options(new Tfrconfig(frmain));
    options->show();
    std::unique_ptr<TFrcompany> company(new TFrcompany(frmain));
    company->show();
    EXPECT_EQ(boxShownBy([] { dlg::askYesNo(QStringLiteral("是否进行备份数据?")); }),
              ("QMessageBox over " + company->objectName() + " on top active").toStdString());
    QApplication::setActiveWindow(options.get());
    EXPECT_EQ(dlg::ownerWindow(), options.get());

    // The error window, and a file chooser: over the window that came forward
    // last; the error window is its own again afterwards.
    const std::string overOptions = " over " + options->objectName().toStdString() + " on top active";
    EXPECT_EQ(boxShownBy([] { reportException(nullptr, std::make_exception_ptr(ConversionError("'.'"))); }),
              "TFrm_ErrorMessage" + overOptions);
    ASSERT_TRUE(Frm_ErrorMessage);
    EXPECT_EQ(Frm_ErrorMessage->parentWidget(), nullptr);
    EXPECT_FALSE(Frm_ErrorMessage->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(boxShownBy([this] { dlg::openFile(QStringLiteral("打开"), folder()); }), "QFileDialog" + overOptions);
}

// Long work runs on a thread of its own while the program goes on with its
// events; after its delay a window modal to the program, over the window that
// asked, names the step with a bar where the amount is known and offers no
// stop. What the work throws reaches the caller.
TEST_F(BoxOwner, LongWorkShowsItsStepOverTheWindowThatAskedWhileTheProgramGoesOn)
{
    auto* copydir = new Tfrcopydir(frmain);
    copydir->show();
    QApplication::setActiveWindow(copydir);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(5);
    std::atomic<bool> looked{false};
    QString seen;
    QTimer::singleShot(200, [&] {
        if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            const auto* bar = w->findChild<QProgressBar*>();
            seen = QStringLiteral("%1 over %2: %3 %4/%5").arg(w->windowTitle(), w->parentWidget()->objectName(),
                                                               w->findChild<QLabel*>("step")->text()).arg(bar->value()).arg(bar->maximum());
            if (w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) seen += " on top";
            if (w->findChild<QPushButton*>()) seen += " with a stop button";
        }
        looked = true;
    });
    Qt::HANDLE workThread = nullptr;
    LongWork(QStringLiteral("数据恢复"), 50).run([&](const StepReport& report) {
        workThread = QThread::currentThreadId();
        report(QStringLiteral("复制数据"), 0, 0);
        report(QStringLiteral("检查备份文件"), 40, 100);
        QElapsedTimer waited;
        waited.start();
        while (!looked && waited.elapsed() < 5000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    EXPECT_EQ(seen.toStdString(), "数据恢复 over Frcopydir: 检查备份文件 400/1000 on top");
    EXPECT_NE(workThread, QThread::currentThreadId());
    EXPECT_GT(ticks, 2);
    EXPECT_FALSE(QApplication::activeModalWidget());
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), copydir);

    EXPECT_THROW(LongWork(QString()).run([](const StepReport&) { throw DbBusyError(QStringLiteral("busy")); }), DbBusyError);
    delete copydir;
}

// A message box has only its close button, and a box minimised all the same
// (a message or a question asking for text) comes back at once. The printer's
// set-up says 确定 and 取消 (it prints nothing); the print dialog keeps its own
// print button.
TEST_F(BoxOwner, AMessageBoxKeepsInSightAndThePrinterSetUpSaysOk)
{
    QString flags, after;
    QTimer::singleShot(0, [&] {
        QCoreApplication::processEvents();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        const Qt::WindowFlags f = box->windowFlags();
        flags = QStringLiteral("close %1, minimise %2, maximise %3")
                    .arg(f.testFlag(Qt::WindowCloseButtonHint))
                    .arg(f.testFlag(Qt::WindowMinimizeButtonHint))
                    .arg(f.testFlag(Qt::WindowMaximizeButtonHint));
        box->showMinimized();
        QTest::qWait(50);
        after = QStringLiteral("minimised %1, shown %2").arg(box->isMinimized()).arg(box->isVisible());
        box->done(QDialog::Accepted);
    });
    dlg::showMessage(QStringLiteral("数据备份完毕！ "));
    EXPECT_EQ(flags.toStdString(), "close 1, minimise 0, maximise 0");
    EXPECT_EQ(after.toStdString(), "minimised 0, shown 1");

    after.clear();
    QTimer::singleShot(0, [&after] {
        QCoreApplication::processEvents();
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        d->showMinimized();
        QTest::qWait(50);
        after = QStringLiteral("minimised %1, shown %2").arg(d->isMinimized()).arg(d->isVisible());
        d->reject();
    });
    QString typed;
    dlg::inputText(QStringLiteral("输入"), QStringLiteral("名称"), typed);
    EXPECT_EQ(after.toStdString(), "minimised 0, shown 1");

    auto buttonsOf = [](const std::function<void()>& show) {
        QString seen;
        QTimer::singleShot(0, [&seen] {
            QCoreApplication::processEvents();
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d) return;
            seen = d->windowTitle() + ":";
            if (auto* box = d->findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly))
                for (auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel})
                    if (QPushButton* b = box->button(which)) seen += " " + b->text();
            d->reject();
        });
        show();
        return seen.toStdString();
    };
    QPrinter printer;
    EXPECT_EQ(buttonsOf([&] { dlg::printerSetup(&printer); }), "打印设置: 确定 取消");
    const std::string printing = buttonsOf([&] { dlg::print(&printer); });
    EXPECT_NE(printing.find("Print"), std::string::npos) << printing;
}
