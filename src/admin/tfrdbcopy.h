#pragma once
// 成批数据转换、删除、合并: the administrator's data tool. Free SQL from the
// memo runs in one transaction after a question; 查表 shows the rows of one
// read-only query; package empties the package and unit lists. The free SQL
// runs on a connection of the tool's own, off the interface thread; a
// statement that runs long shows a progress window whose 取消 stops it.
#include <QWidget>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QPushButton;
class QTableView;
namespace qm {
class Connection;
class Dataset;
class DatasetModel;
}

class Tfrdbcopy : public QWidget {
    Q_OBJECT
public:
    explicit Tfrdbcopy(QWidget* parent = nullptr);
    ~Tfrdbcopy() override;

    QPlainTextEdit* Memo1 = nullptr;  // the SQL text
    QTableView* DBGrid1 = nullptr;    // the query's rows
    QPushButton* Button1 = nullptr;   // SQlexe
    QPushButton* Button2 = nullptr;   // 查表
    QPushButton* Button3 = nullptr;   // package

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();

protected:
    // Closes the tool's connection and the rows it read.
    void closeEvent(QCloseEvent* e) override;

private:
    // The tool's own connection, opened the first time it is needed.
    qm::Connection& database();
    // Shows why when `sql` sets a PRAGMA; true then.
    bool refusePragma(const QString& sql);
    // Runs `work` on the tool's connection off the interface thread, with a
    // progress window shown after a moment, whose 取消 stops the statement
    // running; false when it was stopped (nothing changed).
    bool watched(const std::function<void(const std::function<bool()>&)>& work);
    // Puts `rows`, read whole, into the grid in place of the rows shown.
    void showRows(std::unique_ptr<qm::Dataset> rows);
    std::unique_ptr<qm::Dataset> newRows();
    // Declared before the rows read through it, so that it outlives them.
    std::unique_ptr<qm::Connection> db_;
    std::unique_ptr<qm::Dataset> rows_;
    qm::DatasetModel* model_ = nullptr;
};

namespace qm {
// 数据处理: the warning, the access code, the administrator rule, then the window.
void openDataTool();
}
