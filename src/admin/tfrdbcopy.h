#pragma once
// 成批数据转换、删除、合并: the administrator's data tool. Free SQL from the
// memo runs in one transaction after a question; 查表 shows the rows of one
// read-only query; package empties the package and unit lists.
#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QTableView;
namespace qm { class DatasetModel; }

class Tfrdbcopy : public QWidget {
    Q_OBJECT
public:
    explicit Tfrdbcopy(QWidget* parent = nullptr);

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
    // Leaves the query closed.
    void closeEvent(QCloseEvent* e) override;

private:
    // Shows why when `sql` sets a PRAGMA; true then.
    bool refusePragma(const QString& sql);
    qm::DatasetModel* model_ = nullptr;
};

namespace qm {
// 数据处理: the warning, the access code, the administrator rule, then the window.
void openDataTool();
}
