#pragma once
// The backup commands of the main window: the backup on exit and the yearly
// archive. Each reports every failure, and success only after success.
#include <QString>

namespace qm {

// The exit backup: closes the connection, asks, and on Yes compacts the
// working database and copies works/ to the weekday folder.
void exitBackup();
QString exitBackupQuestion();

// 年度数据备份: the program file and the working database into the year's folder.
void yearArchive();
// 复制上年数据: this year's data to bak/, last year's from LASTBAK into works/.
void copyLastYearData();
// 恢复今年数据: this year's data from bak/ back into works/.
void restoreThisYearData();

// The program file copied into the archive (the running program unless set).
QString archivedProgramFile();
void setArchivedProgramFile(const QString& file);

// Closes the connection around a copy of the database file, once a pending
// copy to bak/ has finished. resume() opens
// it and the company table again (its failure propagates); a pause left
// without resume() reopens quietly.
class ConnectionPause {
public:
    ConnectionPause();
    ~ConnectionPause();
    void resume();
    ConnectionPause(const ConnectionPause&) = delete;
    ConnectionPause& operator=(const ConnectionPause&) = delete;

private:
    bool resumed_ = false;
};

// "\r原因：" and the reason, after a failure's own text.
QString withReason(const QString& text, const QString& reason);

}
