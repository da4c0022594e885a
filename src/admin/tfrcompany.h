#pragma once
// The company window 公司信息: the name, address and telephone printed at the
// head of reports, and a free memo. The company row is in edit mode while the
// window is open and saved when it closes.
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

class TFrcompany : public QWidget {
    Q_OBJECT
public:
    explicit TFrcompany(QWidget* parent = nullptr);
    ~TFrcompany() override;

    QLineEdit* DBEdit1 = nullptr;  // name
    QLineEdit* DBEdit2 = nullptr;  // addr
    QLineEdit* DBEdit3 = nullptr;  // tel
    QPlainTextEdit* DBMemo1 = nullptr;  // doc

public slots:
    void FormShow();
    void FormClose();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    bool editing_ = false;
};

extern TFrcompany* Frcompany;
