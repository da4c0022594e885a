#pragma once
// The about box of 版权声明: the program icon, product and maker lines, two
// contact labels that open the mail handler and the web address, and OK.
#include <QDialog>
#include <QLabel>

class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Label3 = nullptr;   // mail address
    QLabel* Label4 = nullptr;   // web address
    QPushButton* OKButton = nullptr;

public slots:
    void Label3Click();
    void Label4Click();
};
