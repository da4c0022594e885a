#pragma once
// The global error handler: every exception that no window catches ends up in
// MyErrorMessage, which names its category, logs it in the table apperror (or
// in the text log beside the program when the table cannot be written) and
// shows the error window.
#include <QDateTime>
#include <QDialog>
#include <QString>
#include <exception>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace qm {

class DatasetModel;

// One logged failure: the columns of apperror in their order.
struct ErrorRecord {
    QString capt; // category
    QString titl; // title of the active window, or "无标题"
    QString name; // class of the sender
    QDateTime rq;
    QString mess;
};

// The category text of an exception, most derived class first.
QString errorCategory(std::exception_ptr e);
// The message of an exception.
QString errorMessage(std::exception_ptr e);
// Category, active window title, sender class, time and message.
ErrorRecord describeError(const QObject* sender, std::exception_ptr e);

enum class LoggedTo { Table, TextFile, Nowhere };
// Appends the record to apperror; when that fails, one line to the text log.
LoggedTo logError(const ErrorRecord& r);
// One line to the text log; false when it could not be written.
bool appendToTextLog(const ErrorRecord& r);
// <program folder>/<program name>.txt
QString errorLogPath();
// The line written to the text log.
QString errorLogLine(const ErrorRecord& r);

}

class TFrm_ErrorMessage : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_ErrorMessage(QWidget* parent = nullptr);
    ~TFrm_ErrorMessage() override;

    // Logs the exception and shows this window modally.
    void MyErrorMessage(QObject* sender, std::exception_ptr e);

    QLabel* Label1 = nullptr;          // category
    QLineEdit* Edit1 = nullptr;        // 出错程序名
    QLineEdit* Edit2 = nullptr;        // 出错位置
    QLineEdit* Edit3 = nullptr;        // 出错日期
    QPlainTextEdit* Memo1 = nullptr;   // 错误信息
    QTableView* DBGrid1 = nullptr;
    QPushButton* BitBtn1 = nullptr;    // 返回
    QPushButton* BitBtn2 = nullptr;    // 清空错误记录
    QPushButton* BitBtn3 = nullptr;    // 关闭系统

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    // Ends the program (throws qm::ProgramExit).
    void BitBtn3Click();

protected:
    void done(int r) override;

private:
    void showRecord(const qm::ErrorRecord& r);
    void showCurrentRow();
    void bindGrid();
    qm::DatasetModel* model_ = nullptr;
    bool showing_ = false;
};

extern TFrm_ErrorMessage* Frm_ErrorMessage;

namespace qm {
// Hands an exception to the error window (created on first use).
void reportException(QObject* sender, std::exception_ptr e);
}
