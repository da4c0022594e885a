#pragma once
// The login window: operator number and password. A successful login sets the
// logged-in state of the main window; a wrong password or Cancel ends the
// program (showLogin throws qm::ProgramExit).
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QLabel;

class TFrpassword : public QDialog {
    Q_OBJECT
public:
    explicit TFrpassword(QWidget* parent = nullptr);

    QComboBox* ComboBox1 = nullptr; // operator number
    QLineEdit* Edit1 = nullptr;     // password
    QPushButton* BitBtn1 = nullptr; // 确定
    QPushButton* BitBtn2 = nullptr; // 取消

    bool loggedIn() const { return loggedIn_; }

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    // Closing: reconnects after a login, closes the company table and the
    // connection otherwise.
    void FormClose();

protected:
    void done(int r) override;
    void showEvent(QShowEvent* e) override;

private:
    bool loggedIn_ = false;
    bool closed_ = false;
};

namespace qm {
// Sets the running turnover of the sales entry window (first row of the
// totals table) back to 0, adding that row when the table is empty.
void resetTurnover();
// Shows the login modally; throws ProgramExit unless an operator logged in.
void showLogin(QWidget* owner);
}
