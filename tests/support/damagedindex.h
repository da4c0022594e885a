#pragma once
// Damage planted into an index of a closed database file, as a failing disk
// or a crash of another program may leave it.
#include "data/connection.h"
#include "support/files.h"
#include <vector>

// The pages of `index`, and the page size.
inline std::vector<int> indexPages(const QString& path, const QString& index, int& size)
{
    qm::Connection c;
    c.open(path);
    size = c.scalar("PRAGMA page_size").toInt();
    std::vector<int> pages;
    for (const auto& r : c.rows("SELECT pageno FROM dbstat WHERE name=:n", {{"n", index}})) pages.push_back(r.value(0).toInt());
    return pages;
}

// The entry `key` of `index` gets another last byte: SQLite's own check of
// the pages still passes, but the index no longer leads to the row.
inline void changeIndexEntry(const QString& path, const QString& index, const QByteArray& key)
{
    int size = 0;
    const std::vector<int> pages = indexPages(path, index, size);
    QByteArray file = readFile(path);
    for (int page : pages) {
        const qint64 start = qint64(page - 1) * size;
        const qsizetype at = file.mid(start, size).indexOf(key);
        if (at < 0) continue;
        file[start + at + key.size() - 1] = 'Z';
        writeFile(path, file);
        return;
    }
    FAIL() << "no entry " << key.constData() << " in " << index.toStdString();
}

// The head of every page of `index` overwritten: reading it is an error.
inline void breakIndexPages(const QString& path, const QString& index)
{
    int size = 0;
    const std::vector<int> pages = indexPages(path, index, size);
    ASSERT_FALSE(pages.empty());
    QByteArray file = readFile(path);
    for (int page : pages) file.replace(qint64(page - 1) * size, 12, QByteArray(12, '\xff'));
    writeFile(path, file);
}
