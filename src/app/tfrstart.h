#pragma once
// The quick-start guide, shown on the first activation and by the toolbar.
#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

class TFrstart : public QDialog {
    Q_OBJECT
public:
    explicit TFrstart(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // 退出

    static QString guideText();

public slots:
    // Writes the box into startbj of the options row.
    void CheckBox1Click();
};
