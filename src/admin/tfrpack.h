#pragma once
// 数据整理: removes blank document rows and nameless master rows, then
// compacts the database file.
#include "data/progress.h"
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;

class Tfrpack : public QWidget {
    Q_OBJECT
public:
    explicit Tfrpack(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr; // 压缩整理
    QPushButton* Button2 = nullptr; // 退回

    // The clean-up commands, in their order.
    static QStringList purgeCommands();

public slots:
    void Button1Click();
    void Button2Click();
};

namespace qm {
class Connection;
// The clean-up in one transaction.
void purgeBlankRows(Connection& c, const Progress& progress = {});
}
