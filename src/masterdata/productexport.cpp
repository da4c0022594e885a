#include "masterdata/productexport.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "common/shell.h"
#include "data/tfrdm.h"
#include "shell/session.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QScopeGuard>
#include <xlsxwriter.h>
#include <cstdio>

namespace qm::product {

QString exportSql(bool markedOnly, bool sortedByType)
{
    QString sql = QStringLiteral("SELECT name,sphh,spmc,spgg,spbzxh,dj_w,dj_n,spmz,spzz,bz from product");
    if (markedOnly) sql += QStringLiteral("\nWHERE szbj=1");
    if (sortedByType) sql += QStringLiteral("\nORDER BY name");
    return sql;
}

QString exportFileName(const QString& chosen)
{
    QString name = chosen.trimmed();
    if (name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) return name;
    if (name.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)) return name + QLatin1Char('x');
    return name + QStringLiteral(".xlsx");
}

QString exportHeading(const QString& column)
{
    static const QList<QPair<QString, QString>> headings = {
        {"name", QStringLiteral("条形码")},   {"sphh", QStringLiteral("货品代码")}, {"spmc", QStringLiteral("货品名称")},
        {"spgg", QStringLiteral("拼音首字")}, {"spbzxh", QStringLiteral("单位")},   {"dj_w", QStringLiteral("进货价")},
        {"dj_n", QStringLiteral("最近进价")}, {"spmz", QStringLiteral("超市价")},   {"spzz", QStringLiteral("批发价")},
        {"bz", QStringLiteral("备注")}};
    for (const auto& h : headings)
        if (h.first.compare(column, Qt::CaseInsensitive) == 0) return h.second;
    return column;
}

namespace {
QString lxwText(lxw_error e) { return QString::fromUtf8(lxw_strerror(e)); }
}

bool writeWorkbook(Dataset& rows, const QString& path, const std::function<void(int, int)>& progress, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QFileInfo target(path);
    const QString part = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part");
    const QByteArray partName = QFile::encodeName(part);
    QByteArray tmpDir = QFile::encodeName(target.absolutePath());

    // Rows go to the file one by one instead of being held until the end.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpDir.data();
    lxw_workbook* book = workbook_new_opt(partName.constData(), &options);
    if (!book) return fail(QStringLiteral("不能创建工作簿"));
    bool closed = false;
    auto guard = qScopeGuard([&] {
        if (!closed) workbook_close(book);
        QFile::remove(part);
    });
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    if (!sheet) return fail(QStringLiteral("不能创建工作表"));

    const int columns = rows.fieldCount();
    worksheet_set_row(sheet, 0, 28, nullptr);
    for (int c = 0; c < columns; ++c) {
        const QByteArray heading = exportHeading(rows.field(c)->name).toUtf8();
        worksheet_write_string(sheet, 0, lxw_col_t(c), heading.constData(), nullptr);
    }
    worksheet_set_column(sheet, 2, 2, 16, nullptr);
    worksheet_set_column(sheet, 4, 4, 4, nullptr);
    worksheet_gridlines(sheet, LXW_SHOW_PRINT_GRIDLINES);

    const int total = rows.active() ? rows.recordCount() : 0;
    for (int r = 0; r < total; ++r) {
        for (int c = 0; c < columns; ++c) {
            const Field* f = rows.field(c);
            const QVariant v = rows.valueAt(r, c);
            if (v.isNull()) continue;
            lxw_error e = LXW_NO_ERROR;
            if ((f->type == FieldType::Float || f->type == FieldType::Integer) && v.typeId() != QMetaType::QString) {
                e = worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(c), v.toDouble(), nullptr);
            } else {
                const QString text = v.toString();
                if (text.isEmpty()) continue;
                const QByteArray u = text.toUtf8();
                e = worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c), u.constData(), nullptr);
            }
            if (e != LXW_NO_ERROR) return fail(lxwText(e));
        }
        if (progress && (r % 2000 == 0 || r + 1 == total)) progress(r + 1, total);
    }
    closed = true;
    const lxw_error e = workbook_close(book);
    if (e != LXW_NO_ERROR) return fail(lxwText(e));
    if (std::rename(partName.constData(), QFile::encodeName(path).constData()) != 0)
        return fail(QStringLiteral("不能写入文件"));
    return true;
}

void exportProducts(QWidget* list, bool markedOnly)
{
    if (!markedOnly && !dlg::confirm(QStringLiteral("若商品记录较多，则可能要等2~3分钟,确认全部导出吗?"), QStringLiteral("提示！")))
        return;
    Dataset* xls = frdm->AQproductxls;
    auto closeQuery = qScopeGuard([xls] { xls->close(); });
    xls->reopen(exportSql(markedOnly, qm::session().sortedByType == 1));
    xls->first();

    const QString folder = AppPaths::file(QStringLiteral("excel"));
    QDir().mkpath(folder);
    const QString chosen = dlg::saveFile(QStringLiteral("选择导出Excel文件存放位置及文件名"),
                                         folder + QStringLiteral("/book1.xlsx"), QStringLiteral("Excel 工作簿 (*.xlsx)"));
    if (chosen.trimmed().isEmpty()) return;
    const QString path = exportFileName(chosen);
    dlg::showMessage(QStringLiteral("若") + path + QStringLiteral("已打开,请先关闭!"));

    QString error;
    bool ok = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto cursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        QProgressDialog progress(QStringLiteral("正在导出商品资料..."), QString(), 0, std::max(1, xls->recordCount()), list);
        progress.setObjectName(QStringLiteral("ExportProgress"));
        progress.setWindowTitle(QStringLiteral("导出Excel文件"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        progress.setCancelButton(nullptr);
        ok = writeWorkbook(*xls, path, [&progress](int done, int) { progress.setValue(done); }, &error);
    }
    if (!ok) {
        dlg::showMessage(QStringLiteral("文件") + path + QStringLiteral("没有保存成功,数据没有导出!") +
                         (error.isEmpty() ? QString() : QStringLiteral("\n") + error));
        return;
    }
    dlg::showMessage(QStringLiteral("数据库到Excel的数据传输完毕!"));
    shell::openFile(path);
}

}
