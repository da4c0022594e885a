// Damaged working data: found by the checks of the copies, named to the
// operator, never copied over a good copy, and restored over.
#include "admin/backup.h"
#include "admin/restore.h"
#include "admin/backupcommands.h"
#include "admin/errorhandler.h"
#include "admin/tfrcopydir.h"
#include "app/startup.h"
#include "common/errors.h"
#include "data/damage.h"
#include "data/databasecheck.h"
#include "data/referee.h"
#include "common/clock.h"
#include "shell/commands.h"
#include "shell/windowprotocol.h"
#include "support/faultvfs.h"
#include "support/files.h"
#include "support/fixture.h"
#include <QFile>
#include <QPointer>
#include <QScopeGuard>

using qm::Connection;

namespace {

const QString kBakText = QStringLiteral("请检查本系统的数据备份目录bak是否存在！ ");

void overwrite(const QString& path, qint64 at, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(at);
    f.write(bytes);
}

int pageSize(const QString& path)
{
    Connection c;
    c.open(path);
    return c.scalar("PRAGMA page_size").toInt();
}

// The leaves of outdetail in key order.
std::vector<int> leavesOfRows(const QString& path)
{
    Connection c;
    c.open(path);
    std::vector<int> out;
    for (const auto& r : c.rows("SELECT pageno FROM dbstat WHERE name='outdetail' AND pagetype='leaf' ORDER BY path"))
        out.push_back(r.value(0).toInt());
    return out;
}

// The last entry of the product code index given another code: SQLite's own
// check of the pages passes, only a comparison with the table finds it.
void damageIndexContent(const QString& path)
{
    int root = 0;
    QByteArray last;
    {
        Connection c;
        c.open(path);
        root = c.scalar("SELECT rootpage FROM sqlite_master WHERE name='ix_product_sphh'").toInt();
        last = c.scalar("SELECT max(sphh) FROM product").toString().toUtf8();
    }
    const int size = pageSize(path);
    QByteArray page = readFile(path).mid(qint64(root - 1) * size, size);
    const qsizetype at = page.indexOf(last);
    ASSERT_GE(at, 0);
    overwrite(path, qint64(root - 1) * size + at + last.size() - 1, "Z");
    Connection c;
    c.open(path);
    ASSERT_EQ(c.scalar("PRAGMA quick_check").toString(), "ok");
    ASSERT_NE(c.scalar("PRAGMA integrity_check").toString(), "ok");
}

// A leaf of the document rows overwritten at its head.
void damageLeaf(const QString& path, bool first)
{
    const std::vector<int> leaves = leavesOfRows(path);
    ASSERT_GT(leaves.size(), 4u);
    const int page = first ? leaves.front() : leaves[leaves.size() / 2];
    overwrite(path, qint64(page - 1) * pageSize(path), QByteArray(12, '\xff'));
}

struct Damage {
    const char* name;
    std::function<void(const QString&)> plant;
    bool foundAtStart; // by start-up's check, which reads only each table's edges
};

const Damage kDamages[] = {
    {"an index that no longer matches its table", [](const QString& p) { damageIndexContent(p); }, false},
    {"the first leaf of a table", [](const QString& p) { damageLeaf(p, true); }, true},
    {"a leaf in the middle of a table", [](const QString& p) { damageLeaf(p, false); }, false},
};

} // namespace

class DamageTest : public AppFixture {
protected:
    QString working, backup, pristine;
    void SetUp() override
    {
        AppFixture::SetUp();
        working = qm::AppPaths::workingDatabase();
        backup = qm::AppPaths::backupDatabase();
        pristine = folder() + "pristine.mdb";
        auto& c = frdm->ADOCon;
        qm::Transaction t(c);
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<50) "
               "INSERT INTO product (intno, sphh, name) SELECT printf('%08d', i), printf('P%07d', i), 'p' FROM n");
        c.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
               "INSERT INTO outdetail (intno, mainintno, spmc, amount) SELECT printf('%010d', i), printf('%010d', i / 5), "
               "printf('%.60c', 'y'), i FROM n");
        t.commit();
        c.backupTo(backup);
        c.backupTo(pristine);
    }
    // A fresh working file with `d` planted in it, the connection open on it.
    void plant(const Damage& d)
    {
        frdm->ADOCon.close();
        QFile::remove(working);
        QFile::copy(pristine, working);
        d.plant(working);
        qm::setWorkingDamaged(false);
        dialogs->clear();
        frdm->connectTo(working);
    }
};

TEST_F(DamageTest, DamageIsNamedAtTheFirstSaveAndNoCopyReplacesAGoodOne)
{
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0))); // BAK1
    qm::copyWorkingFolder("BAK1");
    const QByteArray bak = readFile(backup), bak1 = readFile(folder() + "BAK1/vkdb.mdb");
    const QString told = kBakText + "\r" + qm::workingDamagedText();
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        plant(d);
        // The save after a document window or a product: said, and said at
        // each save until restored; bak/ keeps its copy byte for byte.
        qm::requestBakCopy();
        settleBakCopies();
        qm::requestBakCopy();
        settleBakCopies();
        EXPECT_EQ(dialogs->messages(), (QStringList{told, told}));
        EXPECT_EQ(readFile(backup), bak);

        // The exit backup, not told before: refused, BAK1 as it was.
        plant(d);
        qm::exitBackup();
        EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据备份失败,请通过手工备份！ \r原因：") + qm::workingDamagedText());
        EXPECT_FALSE(dialogs->messages().contains(QStringLiteral("数据备份完毕！ ")));
        EXPECT_EQ(readFile(folder() + "BAK1/vkdb.mdb"), bak1);
        EXPECT_TRUE(qm::workingDamaged());
    }
}

TEST_F(DamageTest, RestoreFromTheGoodCopyWorksOverDamagedDataAndKeepsItAside)
{
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        plant(d);
        const QByteArray damaged = readFile(working);
        qm::requestBakCopy();
        settleBakCopies();
        ASSERT_TRUE(qm::runCommand("N45"));
        QPointer<Tfrcopydir> window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
        ASSERT_TRUE(window);
        window->setFolder(folder() + "bak");
        window->BitBtn2Click();
        delete window;
        // The restore's own copy to bak/ is made before the count below.
        settleBakCopies();
        const QStringList kept = QDir(folder() + "works").entryList({"vkdb.mdb.before-restore-*"}, QDir::Files);
        ASSERT_EQ(kept.size(), 1);
        EXPECT_TRUE(dialogs->lastMessage().startsWith(QStringLiteral("数据恢复完毕！ \r恢复前的数据保存在: ") + folder() + "works/" + kept[0] + "\r"));
        EXPECT_EQ(readFile(folder() + "works/" + kept[0]), damaged);
        EXPECT_EQ(qm::checkCopy(working).state, qm::DatabaseFileState::Usable);
        EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM outdetail").toInt(), 3000);
        // Saves copy to bak/ again.
        EXPECT_FALSE(qm::workingDamaged());
        const int made = qm::bakCopiesMade();
        qm::requestBakCopy();
        settleBakCopies();
        EXPECT_EQ(qm::bakCopiesMade(), made + 1);
        QFile::remove(folder() + "works/" + kept[0]);
        frmain->setEnabled(true);
    }
}

TEST_F(DamageTest, ADamagedBackupIsRefusedAndStartUpSaysWhatItPutInPlace)
{
    // 开始恢复 from a damaged copy: refused, the working data unchanged.
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        QFile::remove(folder() + "usb/vkdb.mdb");
        QDir().mkpath(folder() + "usb");
        QFile::copy(pristine, folder() + "usb/vkdb.mdb");
        d.plant(folder() + "usb/vkdb.mdb");
        const QByteArray before = readFile(working);
        EXPECT_EQ(qm::restoreDatabase(folder() + "usb/vkdb.mdb", working), qm::RestoreOutcome::NotUsable);
        EXPECT_EQ(readFile(working), before);
    }

    // Start-up: damage its check finds is named with the copy put in its place.
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        plant(d);
        frdm->ADOCon.close();
        const QByteArray damaged = readFile(working);
        qm::openWorkingDatabase(frdm);
        const QStringList kept = QDir(folder() + "works").entryList({"vkdb.mdb.damaged-*"}, QDir::Files);
        if (d.foundAtStart) {
            ASSERT_EQ(kept.size(), 1);
            EXPECT_EQ(readFile(folder() + "works/" + kept[0]), damaged);
            EXPECT_EQ(dialogs->messages(), QStringList{qm::restoredAtStartText(
                                               QFileInfo(backup).lastModified().toString("yyyy-MM-dd HH:mm:ss"),
                                               folder() + "works/" + kept[0])});
            QFile::remove(folder() + "works/" + kept[0]);
        } else {
            EXPECT_TRUE(kept.isEmpty());
            EXPECT_TRUE(dialogs->messages().isEmpty());
        }
    }
}

TEST_F(DamageTest, AStatementThatMeetsDamageNamesItNotTheRawError)
{
    plant(kDamages[2]);
    dialogs->clear();
    try {
        frdm->ADOCon.scalar("SELECT sum(amount) FROM outdetail");
        FAIL() << "the damaged leaf was not read";
    } catch (const qm::DbDamagedError&) {
        qm::reportException(nullptr, std::current_exception());
    }
    EXPECT_EQ(dialogs->messages(), QStringList{qm::workingDamagedText()});
    EXPECT_TRUE(qm::workingDamaged());
    EXPECT_TRUE(readFile(qm::errorLogPath()).contains("malformed"));
    delete Frm_ErrorMessage;

    // Another file found damaged (a backup) does not make the working data damaged.
    qm::setWorkingDamaged(false);
    dialogs->clear();
    QDir().mkpath(folder() + "usb");
    QFile::copy(working, folder() + "usb/vkdb.mdb");
    try {
        Connection usb;
        usb.open(folder() + "usb/vkdb.mdb");
        usb.scalar("SELECT sum(amount) FROM outdetail");
        FAIL() << "the damaged leaf was not read";
    } catch (const qm::DbDamagedError&) {
        qm::reportException(nullptr, std::current_exception());
    }
    EXPECT_FALSE(qm::workingDamaged());
    EXPECT_FALSE(dialogs->messages().contains(qm::workingDamagedText()));
    delete Frm_ErrorMessage;

    // The compaction gives the damage as its cause, once the check found it.
    dialogs->clear();
    frdm->ADOCon.close();
    {
        qm::LongWork work{QString()};
        EXPECT_FALSE(qm::reportCompaction(qm::compactUnder(work, working)));
    }
    EXPECT_EQ(dialogs->lastMessage(), qm::compactionFailedText(qm::workingDamagedText()));
    EXPECT_TRUE(qm::workingDamaged());
}

TEST_F(DamageTest, AFullDiskIsNamedWhereTheTextNamesAnotherCause)
{
    namespace fault = qm::fault;
    const QByteArray bak = readFile(backup);
    const auto untarget = qScopeGuard([] {
        fault::disarm();
        fault::setTarget({});
    });
    fault::setTarget(folder() + "bak/");
    fault::armDiskFull(1);
    qm::requestBakCopy();
    settleBakCopies();
    EXPECT_EQ(dialogs->messages(), QStringList{kBakText + "\r" + qm::diskFullText()});
    EXPECT_EQ(readFile(backup), bak);

    dialogs->clear();
    fault::setTarget(working);
    fault::armDiskFull(1);
    frdm->ADOCon.close();
    {
        qm::LongWork work{QString()};
        EXPECT_FALSE(qm::reportCompaction(qm::compactUnder(work, working)));
    }
    EXPECT_EQ(dialogs->messages(), QStringList{qm::compactionFailedText(qm::diskFullText())});
    EXPECT_FALSE(qm::workingDamaged());
}

// A stick or network folder that spoils what it is given: the copies fail
// their check, the working file's own check finds it whole, and the folder is
// named, not the working data.
TEST_F(DamageTest, CopiesSpoiltInTheirFolderNameTheFolderAndNeverTheWorkingData)
{
    namespace fault = qm::fault;
    const auto stop = qScopeGuard([] { fault::corruptWrites({}, 0); });
    qm::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0))); // BAK1
    qm::copyWorkingFolder("BAK1");
    const QByteArray bak1 = readFile(folder() + "BAK1/vkdb.mdb");
    frdm->ADOCon.exec("UPDATE product SET name='新' WHERE intno='00000001'");
    const QByteArray bak = readFile(backup);

    // The weekday folder of the exit backup spoils what it is given: the data
    // is compacted all the same, the folder named, its old copy kept.
    fault::corruptWrites(folder() + "BAK1/", 7);
    qm::exitBackup();
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("数据备份失败,请通过手工备份！ \r原因：") + qm::targetFaultText(folder() + "BAK1/vkdb.mdb"));
    EXPECT_EQ(readFile(folder() + "BAK1/vkdb.mdb"), bak1);
    EXPECT_FALSE(qm::workingDamaged());
    EXPECT_EQ(qm::checkCopy(working).state, qm::DatabaseFileState::Usable);
    frdm->connectTo(working);

    // So does bak/.
    fault::corruptWrites(folder() + "bak/", 7);
    for (int save = 0; save < 2; ++save) {
        SCOPED_TRACE(save);
        dialogs->clear();
        qm::requestBakCopy();
        settleBakCopies();
        EXPECT_EQ(dialogs->messages(), QStringList{kBakText + "\r" + qm::targetFaultText(backup)});
        EXPECT_FALSE(qm::workingDamaged());
        EXPECT_EQ(readFile(backup), bak);
    }
    // The exit backup to a folder that keeps what it is given.
    dialogs->clear();
    qm::exitBackup();
    EXPECT_EQ(dialogs->messages(), (QStringList{qm::exitBackupQuestion(), QStringLiteral("数据备份完毕！ ")}));
    Connection weekday;
    weekday.open(folder() + "BAK1/vkdb.mdb");
    EXPECT_EQ(weekday.scalar("SELECT name FROM product WHERE intno='00000001'").toString(), QStringLiteral("新"));
    // bak/ receives its copy once its folder keeps what it is given.
    fault::corruptWrites({}, 0);
    frdm->connectTo(working);
    dialogs->clear();
    qm::requestBakCopy();
    settleBakCopies();
    EXPECT_TRUE(dialogs->messages().isEmpty());
    EXPECT_NE(readFile(backup), bak);
}

// SQLite reports a read the disk failed as "malformed": a read error, said
// with its cause; nothing is marked, replaced or moved.
TEST_F(DamageTest, AReadTheDiskFailedIsNeverTakenForDamage)
{
    namespace fault = qm::fault;
    const auto disarm = qScopeGuard([] {
        fault::disarm();
        fault::setTarget({});
    });
    const QByteArray before = readFile(working);
    const QString cannotRead = qm::cannotReadText(working, qm::ioErrorText());
    auto statementMeetsAFailedRead = [&](bool persistent) {
        frdm->connectTo(working); // nothing read yet
        fault::setTarget(working);
        fault::arm(fault::Op::Read, 3, persistent);
        try {
            frdm->ADOCon.scalar("SELECT sum(amount) FROM outdetail");
            ADD_FAILURE() << "the read did not fail";
        } catch (const qm::DbError&) {
            qm::reportException(nullptr, std::current_exception());
        }
        delete Frm_ErrorMessage;
    };
    dialogs->progressDelayMs = 0;

    // Once (a network share that stalled): the file's check finds it whole.
    statementMeetsAFailedRead(false);
    EXPECT_EQ(dialogs->messages(), QStringList{cannotRead});
    EXPECT_EQ(dialogs->progressSteps(), QStringList{QStringLiteral("检查工作数据|检查工作数据")});
    EXPECT_FALSE(qm::workingDamaged());
    // Again on the file as it stands: the verdict is remembered, not asked again.
    dialogs->clear();
    statementMeetsAFailedRead(false);
    EXPECT_EQ(dialogs->messages(), QStringList{cannotRead});
    EXPECT_TRUE(dialogs->progressSteps().isEmpty());
    EXPECT_EQ(frdm->ADOCon.scalar("SELECT count(*) FROM outdetail").toInt(), 3000);

    // For good (the share is gone): the plain read fails as well.
    qm::forgetVerdicts();
    dialogs->clear();
    statementMeetsAFailedRead(true);
    EXPECT_EQ(dialogs->messages(), QStringList{cannotRead});
    EXPECT_FALSE(qm::workingDamaged());

    // The compaction names the read error, not another program.
    dialogs->clear();
    frdm->ADOCon.close();
    fault::arm(fault::Op::Read, 3, true);
    {
        qm::LongWork work{QString()};
        EXPECT_FALSE(qm::reportCompaction(qm::compactUnder(work, working)));
    }
    EXPECT_EQ(dialogs->messages(), QStringList{qm::compactionFailedText(qm::ioErrorText())});

    // The manual backup says so in Chinese, and bak/ still receives its copies.
    fault::arm(fault::Op::Read, 3, true);
    EXPECT_THROW(qm::copyDatabaseFile(working, folder() + "usb/vkdb.mdb"), qm::DbIoError);
    fault::disarm();
    EXPECT_FALSE(qm::workingDamaged());
    EXPECT_EQ(readFile(working), before);
    const int made = qm::bakCopiesMade();
    qm::requestBakCopy();
    settleBakCopies();
    EXPECT_EQ(qm::bakCopiesMade(), made + 1);
}

// A backup that is not a database at all, offered for restore, is refused and
// says nothing of the working data.
TEST_F(DamageTest, ARefusedBackupLeavesTheWorkingDataUsable)
{
    frdm->ADOCon.exec("UPDATE product SET name='新' WHERE intno='00000001'");
    QByteArray junk = readFile(pristine);
    junk.replace(0, 100, QByteArray(100, 'j'));
    writeFile(folder() + "usb/vkdb.mdb", junk);
    ASSERT_TRUE(qm::runCommand("N45"));
    QPointer<Tfrcopydir> window = qobject_cast<Tfrcopydir*>(qm::findOpenWindow("Frcopydir"));
    ASSERT_TRUE(window);
    window->setFolder(folder() + "usb");
    window->BitBtn2Click();
    delete window;
    EXPECT_EQ(dialogs->lastMessage(), QStringLiteral("备份位置的数据文件已损坏或不是本系统的数据,不能恢复！工作数据没有改变。 "));
    EXPECT_FALSE(qm::workingDamaged());
    // The next save copies to bak/ as usual.
    dialogs->clear();
    qm::requestBakCopy();
    settleBakCopies();
    EXPECT_TRUE(dialogs->messages().isEmpty());
    Connection bak;
    bak.open(backup);
    EXPECT_EQ(bak.scalar("SELECT name FROM product WHERE intno='00000001'").toString(), QStringLiteral("新"));
}
