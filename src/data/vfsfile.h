#pragma once
// A file read and written plainly through SQLite's default file layer, with
// no lock taken: the file layer keeps the locks that other connections of
// this process hold on the same file when it closes, and every read and
// write goes where SQLite's own would (so the tests' fault layer sees them).
#include <QString>
#include <memory>

struct sqlite3_file;
struct sqlite3_vfs;

namespace qm {

class VfsFile {
public:
    // Opens `path` with SQLite's open flags; rc() says whether it opened.
    VfsFile(const QString& path, int flags);
    ~VfsFile();
    VfsFile(const VfsFile&) = delete;
    VfsFile& operator=(const VfsFile&) = delete;

    int rc() const { return rc_; }
    // SQLite's result codes.
    int read(void* buf, int amount, qint64 offset);
    int write(const void* buf, int amount, qint64 offset);
    int sync();
    int size(qint64& bytes);

private:
    sqlite3_vfs* vfs_ = nullptr;
    const char* name_ = nullptr; // a name made for the file layer (sqlite3_create_filename)
    std::unique_ptr<char[]> storage_;
    sqlite3_file* file_ = nullptr;
    int rc_;
};

}
