#pragma once
// 数据备份恢复: copies the working database to a chosen folder, or a copy in a
// chosen folder back over the working database.
#include <QWidget>

namespace qm {
class FolderModel;
}

class QComboBox;
class QModelIndex;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

class Tfrcopydir : public QWidget {
    Q_OBJECT
public:
    explicit Tfrcopydir(QWidget* parent = nullptr);

    QComboBox* DriveComboBox1 = nullptr;    // 选择数据备份磁盘
    QTreeView* DirectoryListBox1 = nullptr; // 选择数据备份位置
    QLineEdit* Edit1 = nullptr;             // 你选择的数据备份位置是：
    QLabel* Label4 = nullptr;               // status line
    QPushButton* BitBtn1 = nullptr;         // 开始备份
    QPushButton* BitBtn2 = nullptr;         // 开始恢复
    QPushButton* BitBtn3 = nullptr;         // 退出

    // The chosen folder, without a trailing "/": the one the box shows and
    // the commands use. Only the operator (a pick in the folder list, a
    // drive) or setFolder changes it.
    QString folder() const;
    void setFolder(const QString& folder);
    // The folder a row of the folder list stands for.
    QString pathOf(const QModelIndex& row) const;

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void DriveComboBox1Change();

private:
    QString chosenFile() const;
    void choose(const QString& folder);
    void showEvent(QShowEvent* e) override;
    // The backup folder is the working folder: refused, as the copy would
    // replace the live file under the front desk.
    bool refuseWorkingFolder();
    qm::FolderModel* folders_ = nullptr;
};

namespace qm {
// The menu command: administrator only, refused while last year's data is in use.
void openBackupRestore();
}
