#pragma once
// Every message, question, input dialog, file chooser and modal window of the
// program goes through here. Tests install a scripted backend that records
// what was shown and answers from a queue, so nothing ever blocks.
#include <QString>
#include <QStringList>
#include <QDate>
#include <functional>
#include <memory>
#include <deque>
#include <vector>

class QDialog;
class QWidget;
class QPrinter;

namespace qm {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };
enum class Icon { None, Information, Warning, Error, Question };

// The application title: the caption of plain messages.
inline QString appTitle() { return QStringLiteral("Velkan软件"); }

// A window over long work that goes on while it shows. Once the work has
// lasted its delay, it names the step under way, with a bar where the amount
// is known and, where the work can stop safely, a button that stops it. From
// the start the program keeps painting and nothing else takes input: before
// the window shows, the operator's input waits; then the window is modal to
// the program. The work calls poll() often; the window closes when it is
// destroyed.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // Lets the program paint and the window take the click; true once the
    // stop button was pressed.
    virtual bool poll() = 0;
    // The step under way: `done` of `total` (0: not known).
    virtual void setStep(const QString& step, qint64 done = 0, qint64 total = 0) = 0;
};

// How long work tells how far it has got, from the thread it runs on.
using StepReport = std::function<void(const QString& step, qint64 done, qint64 total)>;

// How long work may last before its window shows.
inline constexpr int kProgressDelayMs = 300;

// Long work run off the interface thread under one progress window, shown
// for as long as this lives.
class LongWork {
public:
    // Without a stop button.
    explicit LongWork(const QString& caption, int delayMs = kProgressDelayMs);
    // With a stop button named `stopText`: pressing it calls `stop` on the
    // interface thread, once; the work is then to end as soon as it can.
    LongWork(const QString& caption, const QString& stopText, std::function<void()> stop, int delayMs = kProgressDelayMs);
    ~LongWork();
    // Runs `work` on a thread of its own and returns once it has ended,
    // throwing what it threw. The steps it reports show in the window in
    // their order. `work` touches no window, no dialog and no connection of
    // the interface thread.
    void run(const std::function<void(const StepReport& report)>& work);
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

private:
    // Polls the window; calls stop_ once its button was pressed.
    void poll();
    std::unique_ptr<ProgressWindow> window_;
    std::function<void()> stop_;
};

class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    virtual Answer messageBox(const QString& text, const QString& caption, Buttons b, Icon icon) = 0;
    // Masked or plain one-line input; false for Cancel.
    virtual bool input(const QString& caption, const QString& prompt, QString& value, bool masked) = 0;
    // Modal show of a dialog; returns its result code (QDialog::Accepted/Rejected).
    virtual int exec(QDialog* dialog) = 0;
    virtual QString openFile(const QString& caption, const QString& dir, const QString& filter) = 0;
    virtual QString saveFile(const QString& caption, const QString& dir, const QString& filter) = 0;
    virtual QString chooseFolder(const QString& caption, const QString& dir) = 0;
    // The printer's set-up (确定 keeps it, nothing prints); false for 取消.
    virtual bool printerSetup(QPrinter* printer) = 0;
    // The print dialog: true when its 打印 was pressed, the printer set as chosen there.
    virtual bool print(QPrinter* printer) = 0;
    // `stopText` names the stop button; empty: none.
    virtual std::unique_ptr<ProgressWindow> progress(const QString& caption, const QString& text, int delayMs,
                                                     const QString& stopText) = 0;
};

namespace dlg {
// The backend in use (the real one unless a test replaced it).
DialogBackend& backend();
void setBackend(std::unique_ptr<DialogBackend> b);
void resetBackend();

// A plain message (caption: the application title).
void showMessage(const QString& text);
// A message box with a caption and buttons.
Answer messageBox(const QString& text, const QString& caption, Buttons b = Buttons::Ok, Icon icon = Icon::None);
// Warning/information/error boxes with OK.
void warning(const QString& text, const QString& caption = appTitle());
void information(const QString& text, const QString& caption = appTitle());
void error(const QString& text, const QString& caption = appTitle());
// OK/Cancel question under "提示！"; true for OK.
bool confirm(const QString& text, const QString& caption = QStringLiteral("提示！"));
// Yes/No question; true for Yes.
bool askYesNo(const QString& text, const QString& caption = QStringLiteral("提示"));
// The masked password dialog; `value` receives the text on OK.
bool inputPassword(const QString& caption, const QString& prompt, QString& value);
bool inputText(const QString& caption, const QString& prompt, QString& value);
int exec(QDialog* dialog);
QString openFile(const QString& caption, const QString& dir, const QString& filter = QString());
QString saveFile(const QString& caption, const QString& dir, const QString& filter = QString());
QString chooseFolder(const QString& caption, const QString& dir);
bool printerSetup(QPrinter* printer);
bool print(QPrinter* printer);
// A progress window over work that polls it (ProgressWindow), its stop
// button named `stopText` (none when empty).
std::unique_ptr<ProgressWindow> progress(const QString& caption, const QString& text, int delayMs = kProgressDelayMs,
                                         const QString& stopText = QStringLiteral("取消"));

// The window a box opens over: the active window; when none is active (a long
// step took the focus away), the topmost modal or stay-on-top window that is
// showing, else the window that came forward last. Null when none is showing.
QWidget* ownerWindow();
}

// The backend that shows real Qt dialogs.
class WidgetDialogs : public DialogBackend {
public:
    Answer messageBox(const QString& text, const QString& caption, Buttons b, Icon icon) override;
    bool input(const QString& caption, const QString& prompt, QString& value, bool masked) override;
    int exec(QDialog* dialog) override;
    QString openFile(const QString& caption, const QString& dir, const QString& filter) override;
    QString saveFile(const QString& caption, const QString& dir, const QString& filter) override;
    QString chooseFolder(const QString& caption, const QString& dir) override;
    bool printerSetup(QPrinter* printer) override;
    bool print(QPrinter* printer) override;
    std::unique_ptr<ProgressWindow> progress(const QString& caption, const QString& text, int delayMs,
                                             const QString& stopText) override;
};

// The scripted backend of the tests.
class ScriptedDialogs : public DialogBackend {
public:
    struct Shown {
        QString kind;    // "message", "input", "exec", "open", "save", "folder", "printer", "print", "progress"
        QString caption;
        QString text;    // message text, prompt, or the dialog's objectName
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
    };
    std::vector<Shown> shown;
    std::deque<Answer> answers;        // for questions; default: Ok/Yes
    std::deque<QString> inputs;        // for input(); an empty queue answers Cancel
    std::deque<QString> files;         // for the choosers; empty answers ""
    // Modal dialogs: called with the dialog; returns the result code. Default: Rejected.
    std::function<int(QDialog*)> onExec;
    // Progress windows show after their delay, as the real ones do, or after
    // this one when it is not negative. A window shown is recorded with its
    // caption and step, and again at each new step. With cancelProgress set,
    // its stop button is pressed as soon as it shows.
    int progressDelayMs = -1;
    bool cancelProgress = false;

    Answer messageBox(const QString& text, const QString& caption, Buttons b, Icon icon) override;
    bool input(const QString& caption, const QString& prompt, QString& value, bool masked) override;
    int exec(QDialog* dialog) override;
    QString openFile(const QString& caption, const QString& dir, const QString& filter) override;
    QString saveFile(const QString& caption, const QString& dir, const QString& filter) override;
    QString chooseFolder(const QString& caption, const QString& dir) override;
    bool printerSetup(QPrinter* printer) override;
    bool print(QPrinter* printer) override;
    std::unique_ptr<ProgressWindow> progress(const QString& caption, const QString& text, int delayMs,
                                             const QString& stopText) override;

    // Texts of the messages shown, in order.
    QStringList messages() const;
    // "<caption>|<step>" of the progress windows shown, in order.
    QStringList progressSteps() const;
    QString lastMessage() const;
    void clear() { shown.clear(); }
};

// Places the window in the middle of its screen each time it is shown.
void centreOnScreen(QWidget* window);

// The width a window needs to show `caption` whole in its title bar, beside
// the title bar's icon and buttons.
int captionWidth(const QString& caption);

// From now on every window and dialog of the program opens over the middle of
// its owner (of the screen when it has none), inside the screen's work area,
// and at least wide enough for its caption. Windows that place themselves
// (centreOnScreen, a maximised window, one moved before it is shown) keep their
// place. The order in which windows come forward is remembered for
// dlg::ownerWindow(). Installed once for the whole program; harmless to call
// again.
void placeWindowsOverOwners();

}
