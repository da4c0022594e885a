#pragma once
// Damage planted into an index of a closed database file, as a failing disk
// or a crash of another program may leave it.
#include "data/connection.h"
#include "support/files.h"

// The entry `key` of `index` gets another last byte: SQLite's own check of
// the pages still passes, but the index no longer leads to the row.
inline void changeIndexEntry(const QString& path, const QString& index, const QByteArray& key)
{
    qm::Connection c;
    c.open(path);
    const qint64 size = c.scalar("PRAGMA page_size").toInt();
    const auto pages = c.rows("SELECT pageno FROM dbstat WHERE name=:n", {{"n", index}});
    c.close();
    QByteArray file = readFile(path);
    for (const auto& page : pages) {
        const qint64 start = (page.value(0).toInt() - 1) * size;
        const qsizetype at = file.mid(start, size).indexOf(key);
        if (at < 0) continue;
        file[start + at + key.size() - 1] = 'Z';
        writeFile(path, file);
        return;
    }
    FAIL() << "no entry " << key.constData() << " in " << index.toStdString();
}
