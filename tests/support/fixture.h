#pragma once
// A fresh program folder with a fresh database, the administrator logged in,
// and the dialogs layer scripted.
#include "app/tfrmain.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QDir>

class AppFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    qm::ScriptedDialogs* dialogs = nullptr;

    QString folder() const { return dir.path() + "/"; }

    // Deletes the open top-level windows of the classes named, so none of a
    // test's windows reaches the next test. A window deleted with another one
    // is skipped.
    template <class... Windows>
    static void deleteWindows()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if ((qobject_cast<Windows*>(w) || ...)) windows << w;
        for (const QPointer<QWidget>& w : windows) delete w.data();
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qm::AppPaths::setProgramFolder(dir.path());
        QDir().mkpath(dir.path() + "/works");
        QDir().mkpath(dir.path() + "/bak");
        qm::createInitialDatabase(qm::AppPaths::workingDatabase());
        auto d = std::make_unique<qm::ScriptedDialogs>();
        dialogs = d.get();
        qm::dlg::setBackend(std::move(d));
        qm::session() = {};
        frmain = new Tfrmain;
        frdm = new Tfrdm;
        frdm->connectTo(qm::AppPaths::workingDatabase());
        frmain->operatorCode = "999";
        frmain->operatorName = QStringLiteral("管理员");
        frmain->loginPassword = "123456";
    }

    void TearDown() override
    {
        // A copy still running must not report into the next test.
        qm::waitForBakCopies();
        QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
        delete frdm;
        frdm = nullptr;
        delete frmain;
        frmain = nullptr;
        qm::session() = {};
        qm::dlg::resetBackend();
        dialogs = nullptr;
        qm::Clock::reset();
        // Damage noticed by one test's files is not the next test's.
        qm::setWorkingDamaged(false);
    }

    // Lets a copy to bak/ asked for finish, and its failure message arrive.
    void settleBakCopies()
    {
        qm::waitForBakCopies();
        QCoreApplication::processEvents();
    }

    // Logs in as another operator (no window involved).
    void loginAs(const QString& code, const QString& password = "123456")
    {
        frmain->operatorCode = code;
        frmain->loginPassword = password;
    }
};
