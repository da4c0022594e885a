// The check of a copy: what it calls a file.
#include "data/databasecheck.h"
#include "data/schema.h"
#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace qm;

namespace {

void runScript(const QString& path, const QString& script)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close_v2(db);
    ASSERT_EQ(rc, SQLITE_OK) << message.toStdString();
}

class CopyCheck : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString base;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        base = dir.filePath("base.db");
        createInitialDatabase(base);
    }
    // A copy of the program's fresh database with `script` run in it.
    QString made(const QString& name, const QString& script)
    {
        const QString path = dir.filePath(name + ".db");
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(base, path));
        runScript(path, script);
        return path;
    }
};

} // namespace

TEST_F(CopyCheck, AFileLackingSomeBaseTablesNamesThemAndIsNotDamaged)
{
    const DatabaseCheck one = checkCopy(made(QStringLiteral("one"), "DROP TABLE apperror;"));
    EXPECT_EQ(one.state, DatabaseFileState::MissingTables);
    EXPECT_EQ(one.detail, "apperror");
    const DatabaseCheck two = checkCopy(made(QStringLiteral("two"), "DROP TABLE package; DROP TABLE product;"));
    EXPECT_EQ(two.state, DatabaseFileState::MissingTables);
    EXPECT_EQ(two.detail, "product,package");
    // None of them: not this program's database.
    const QString other = dir.filePath("other.db");
    runScript(other, "CREATE TABLE x(a); CREATE INDEX x_a ON x(a);");
    EXPECT_EQ(checkCopy(other).state, DatabaseFileState::NotDatabase);
}
