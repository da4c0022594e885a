#pragma once
// A small modal window over the current row of a list's query: labelled boxes,
// 保存, 取消, 上一条 and 下一条. Enter runs down the boxes to 保存; 保存 saves
// and moves on to 下一条, where Enter shows the next row. The count window of
// the stocktaking and the opening-balance editors are made this way.
#include "common/boxkeys.h"
#include <QDialog>
#include <vector>

class QLineEdit;
class QPushButton;

namespace qm {
class Dataset;

class RowEditor : public QDialog {
    Q_OBJECT
public:
    struct Box {
        QString name;  // Edit2 ...
        QString label;
        KeyRule keys;
        bool readOnly = false;
    };
    // `navigationFirst` puts 上一条 and 下一条 before 保存 and 取消.
    RowEditor(QWidget* owner, const QString& name, const QString& caption, const std::vector<Box>& boxes, Dataset* rows,
              bool navigationFirst);
    QLineEdit* box(int i) const { return edits_[size_t(i)]; }
    QPushButton *Button1, *Button2, *Button3, *Button4; // 保存 取消 上一条 下一条

public slots:
    // Fills the boxes from the current row; the focus goes to the last box.
    virtual void FormShow() = 0;
    void Button1Click();
    void Button3Click();
    void Button4Click();

protected:
    // Stores the boxes; throws, leaving the row as stored, when it cannot. A
    // number out of its bound (OutOfRange) is told at 保存, the last box kept
    // as typed and focused.
    virtual void save() = 0;
    void showEvent(QShowEvent* e) override;
    Dataset* rows_;
    std::vector<QLineEdit*> edits_;
};

// Shows `editor` modally over `list`, which is disabled meanwhile, releases
// it, and gives the list back its use and the front.
void execOverList(QWidget* list, QDialog* editor);

}
