#include "data/vfsfile.h"
#include <QFile>
#include <sqlite3.h>

namespace qm {

VfsFile::VfsFile(const QString& path, int flags) : vfs_(sqlite3_vfs_find(nullptr)), rc_(SQLITE_ERROR)
{
    if (!vfs_) return;
    name_ = sqlite3_create_filename(QFile::encodeName(path).constData(), "", "", 0, nullptr);
    if (!name_) {
        rc_ = SQLITE_NOMEM;
        return;
    }
    storage_.reset(new char[size_t(vfs_->szOsFile)]());
    file_ = reinterpret_cast<sqlite3_file*>(storage_.get());
    int opened = 0;
    rc_ = vfs_->xOpen(vfs_, name_, file_, flags, &opened);
}

VfsFile::~VfsFile()
{
    if (file_ && file_->pMethods) file_->pMethods->xClose(file_);
    if (name_) sqlite3_free_filename(name_);
}

int VfsFile::read(void* buf, int amount, qint64 offset)
{
    return rc_ == SQLITE_OK ? file_->pMethods->xRead(file_, buf, amount, offset) : rc_;
}

int VfsFile::write(const void* buf, int amount, qint64 offset)
{
    return rc_ == SQLITE_OK ? file_->pMethods->xWrite(file_, buf, amount, offset) : rc_;
}

int VfsFile::sync() { return rc_ == SQLITE_OK ? file_->pMethods->xSync(file_, SQLITE_SYNC_FULL) : rc_; }

int VfsFile::size(qint64& bytes)
{
    if (rc_ != SQLITE_OK) return rc_;
    sqlite3_int64 n = 0;
    const int rc = file_->pMethods->xFileSize(file_, &n);
    bytes = n;
    return rc;
}

}
