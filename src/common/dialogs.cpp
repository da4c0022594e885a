#include "common/dialogs.h"
#include "common/dialogs_p.h"
#include "common/inputpassword.h"
#include <QApplication>
#include <QMessageBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QPointer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace qm {

namespace {
std::unique_ptr<DialogBackend>& slot()
{
    static std::unique_ptr<DialogBackend> b = std::make_unique<WidgetDialogs>();
    return b;
}

// Top-level windows in the order they came forward (shown or activated), the
// last one latest.
QList<QPointer<QWidget>>& forwardOrder()
{
    static QList<QPointer<QWidget>> order;
    return order;
}

void cameForward(QWidget* w)
{
    auto& order = forwardOrder();
    order.removeIf([w](const QPointer<QWidget>& p) { return !p || p == w; });
    order.append(w);
}

bool isOrdinaryWindow(const QWidget* w)
{
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

}

OverOwner::OverOwner(QWidget* box)
    : box_(box), oldParent_(box->parentWidget()), hadParent_(oldParent_), oldFlags_(box->windowFlags())
{
    QWidget* owner = dlg::ownerWindow();
    if (owner && (owner == box || box->isAncestorOf(owner))) owner = nullptr;
    owner_ = owner;
    const Qt::WindowFlags flags = oldFlags_ | Qt::WindowStaysOnTopHint;
    if (owner && (!oldParent_ || oldParent_->window() != owner)) {
        box->setParent(owner, flags);
        reowned_ = true;
    } else if (flags != oldFlags_) {
        box->setWindowFlags(flags);
    }
    raiser_ = new Raiser(box);
    box->installEventFilter(raiser_);
}

OverOwner::~OverOwner()
{
    if (box_) {
        delete raiser_.data();
        if (reowned_) box_->setParent(hadParent_ ? oldParent_.data() : nullptr, oldFlags_);
        else if (box_->windowFlags() != oldFlags_) box_->setWindowFlags(oldFlags_);
    }
    const QWidget* modal = QApplication::activeModalWidget();
    if (owner_ && owner_->isVisible() && (!modal || modal == owner_)) owner_->activateWindow();
}

bool OverOwner::Raiser::eventFilter(QObject* o, QEvent* e)
{
    if (o != parent()) return false;
    auto* w = static_cast<QWidget*>(o);
    if (e->type() == QEvent::Show) {
        w->raise();
        w->activateWindow();
    } else if (e->type() == QEvent::WindowStateChange && w->isMinimized()) {
        // A box that the window manager minimised all the same (some draw that
        // button whatever a window asks for) comes back at once: out of sight,
        // it would leave the program waiting for an answer nobody can give.
        QPointer<QWidget> box = w;
        QTimer::singleShot(0, w, [box] {
            if (!box || !box->isMinimized()) return;
            box->showNormal();
            box->raise();
            box->activateWindow();
        });
    }
    return false;
}

namespace dlg {
DialogBackend& backend() { return *slot(); }
void setBackend(std::unique_ptr<DialogBackend> b) { slot() = std::move(b); }
void resetBackend() { slot() = std::make_unique<WidgetDialogs>(); }

void showMessage(const QString& text) { backend().messageBox(text, appTitle(), Buttons::Ok, Icon::None); }
Answer messageBox(const QString& text, const QString& caption, Buttons b, Icon icon) { return backend().messageBox(text, caption, b, icon); }
void warning(const QString& text, const QString& caption) { backend().messageBox(text, caption, Buttons::Ok, Icon::Warning); }
void information(const QString& text, const QString& caption) { backend().messageBox(text, caption, Buttons::Ok, Icon::Information); }
void error(const QString& text, const QString& caption) { backend().messageBox(text, caption, Buttons::Ok, Icon::Error); }
bool confirm(const QString& text, const QString& caption)
{
    return backend().messageBox(text, caption, Buttons::OkCancel, Icon::Question) == Answer::Ok;
}
bool askYesNo(const QString& text, const QString& caption)
{
    return backend().messageBox(text, caption, Buttons::YesNo, Icon::Question) == Answer::Yes;
}
bool inputPassword(const QString& caption, const QString& prompt, QString& value) { return backend().input(caption, prompt, value, true); }
bool inputText(const QString& caption, const QString& prompt, QString& value) { return backend().input(caption, prompt, value, false); }
int exec(QDialog* dialog) { return backend().exec(dialog); }
QString openFile(const QString& c, const QString& d, const QString& f) { return backend().openFile(c, d, f); }
QString saveFile(const QString& c, const QString& d, const QString& f) { return backend().saveFile(c, d, f); }
QString chooseFolder(const QString& c, const QString& d) { return backend().chooseFolder(c, d); }
bool printerSetup(QPrinter* printer) { return backend().printerSetup(printer); }
bool print(QPrinter* printer) { return backend().print(printer); }

QWidget* ownerWindow()
{
    auto showing = [](QWidget* w) { return w && isOrdinaryWindow(w) && w->isVisible() && !w->isMinimized(); };
    if (QWidget* active = QApplication::activeWindow(); showing(active)) return active;
    // Latest first, then any other window that is showing.
    QList<QWidget*> order;
    const auto& forward = forwardOrder();
    for (auto it = forward.rbegin(); it != forward.rend(); ++it)
        if (showing(*it)) order.append(*it);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (showing(w) && !order.contains(w)) order.append(w);
    if (QWidget* modal = QApplication::activeModalWidget(); showing(modal) && !order.contains(modal)) order.prepend(modal);
    for (QWidget* w : order)
        if (w->isModal() || w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return w;
    return order.value(0);
}
}

// ------------------------------------------------------------- real dialogs

Answer WidgetDialogs::messageBox(const QString& text, const QString& caption, Buttons b, Icon icon)
{
    QMessageBox box;
    // A box is answered, not put away: its title bar has the close button alone.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setWindowTitle(caption);
    // A carriage return in a message is a line break.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    default: break;
    }
    QPushButton *ok = nullptr, *cancel = nullptr, *yes = nullptr, *no = nullptr;
    switch (b) {
    case Buttons::Ok: ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole); break;
    case Buttons::OkCancel:
        ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        break;
    case Buttons::YesNo:
        yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
        break;
    case Buttons::YesNoCancel:
        yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        break;
    }
    // The box is as wide as its text; the title bar would cut a longer caption.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(captionWidth(caption), 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(),
                      0, 1, grid->columnCount());
    if (ok) box.setDefaultButton(ok);
    if (yes) box.setDefaultButton(yes);
    if (cancel) box.setEscapeButton(cancel);
    else if (no) box.setEscapeButton(no);
    OverOwner over(&box);
    box.exec();
    auto* clicked = box.clickedButton();
    if (clicked == ok && ok) return Answer::Ok;
    if (clicked == yes && yes) return Answer::Yes;
    if (clicked == no && no) return Answer::No;
    if (b == Buttons::Ok) return Answer::Ok;
    return Answer::Cancel;
}

bool WidgetDialogs::input(const QString& caption, const QString& prompt, QString& value, bool masked)
{
    if (masked) {
        PasswordDialog d(caption, prompt, value);
        OverOwner over(&d);
        if (d.exec() != QDialog::Accepted) return false;
        value = d.Edit->text();
        return true;
    }
    QInputDialog d;
    d.setWindowTitle(caption);
    d.setLabelText(prompt);
    d.setTextValue(value);
    d.setTextEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    d.setOkButtonText(QStringLiteral("确定"));
    d.setCancelButtonText(QStringLiteral("取消"));
    OverOwner over(&d);
    if (d.exec() != QDialog::Accepted) return false;
    value = d.textValue();
    return true;
}

int WidgetDialogs::exec(QDialog* dialog)
{
    OverOwner over(dialog);
    return dialog->exec();
}

namespace {
QString chooseFile(const QString& caption, const QString& dir, const QString& filter, QFileDialog::FileMode mode,
                   QFileDialog::AcceptMode accept)
{
    QFileDialog d(nullptr, caption, dir, filter);
    d.setFileMode(mode);
    d.setAcceptMode(accept);
    if (mode == QFileDialog::Directory) d.setOption(QFileDialog::ShowDirsOnly);
    OverOwner over(&d);
    if (d.exec() != QDialog::Accepted) return QString();
    return d.selectedFiles().value(0);
}
}

QString WidgetDialogs::openFile(const QString& caption, const QString& dir, const QString& filter)
{
    return chooseFile(caption, dir, filter, QFileDialog::ExistingFile, QFileDialog::AcceptOpen);
}

QString WidgetDialogs::saveFile(const QString& caption, const QString& dir, const QString& filter)
{
    return chooseFile(caption, dir, filter, QFileDialog::AnyFile, QFileDialog::AcceptSave);
}

QString WidgetDialogs::chooseFolder(const QString& caption, const QString& dir)
{
    return chooseFile(caption, dir, QString(), QFileDialog::Directory, QFileDialog::AcceptOpen);
}

bool WidgetDialogs::printerSetup(QPrinter* printer)
{
    // The print dialog chooses the printer and its settings; here its button
    // keeps them and prints nothing, and says so.
    QPrintDialog d(printer);
    d.setWindowTitle(QStringLiteral("打印设置"));
    if (auto* buttons = d.findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("确定"));
        if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) cancel->setText(QStringLiteral("取消"));
    }
    OverOwner over(&d);
    return d.exec() == QDialog::Accepted;
}

bool WidgetDialogs::print(QPrinter* printer)
{
    QPrintDialog d(printer);
    OverOwner over(&d);
    return d.exec() == QDialog::Accepted;
}

// --------------------------------------------------------- scripted dialogs

Answer ScriptedDialogs::messageBox(const QString& text, const QString& caption, Buttons b, Icon icon)
{
    shown.push_back({QStringLiteral("message"), caption, text, b, icon});
    if (b == Buttons::Ok) return Answer::Ok;
    Answer a = b == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    if (!answers.empty()) { a = answers.front(); answers.pop_front(); }
    return a;
}

bool ScriptedDialogs::input(const QString& caption, const QString& prompt, QString& value, bool)
{
    shown.push_back({QStringLiteral("input"), caption, prompt});
    if (inputs.empty()) return false;
    value = inputs.front();
    inputs.pop_front();
    return true;
}

int ScriptedDialogs::exec(QDialog* dialog)
{
    shown.push_back({QStringLiteral("exec"), dialog->windowTitle(), dialog->objectName()});
    if (onExec) return onExec(dialog);
    return QDialog::Rejected;
}

QString ScriptedDialogs::openFile(const QString& caption, const QString&, const QString&)
{
    shown.push_back({QStringLiteral("open"), caption, QString()});
    if (files.empty()) return QString();
    QString f = files.front(); files.pop_front(); return f;
}

QString ScriptedDialogs::saveFile(const QString& caption, const QString&, const QString&)
{
    shown.push_back({QStringLiteral("save"), caption, QString()});
    if (files.empty()) return QString();
    QString f = files.front(); files.pop_front(); return f;
}

QString ScriptedDialogs::chooseFolder(const QString& caption, const QString&)
{
    shown.push_back({QStringLiteral("folder"), caption, QString()});
    if (files.empty()) return QString();
    QString f = files.front(); files.pop_front(); return f;
}

bool ScriptedDialogs::printerSetup(QPrinter*)
{
    shown.push_back({QStringLiteral("printer"), QStringLiteral("打印设置"), QString()});
    return true;
}

bool ScriptedDialogs::print(QPrinter*)
{
    shown.push_back({QStringLiteral("print"), QStringLiteral("打印"), QString()});
    return true;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const auto& s : shown)
        if (s.kind == QLatin1String("message")) out << s.text;
    return out;
}

QString ScriptedDialogs::lastMessage() const
{
    QStringList m = messages();
    return m.isEmpty() ? QString() : m.last();
}

}

namespace qm {
namespace {
class ScreenCentre : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && o->isWidgetType()) {
            auto* w = static_cast<QWidget*>(o);
            QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
            if (s) {
                QRect r(QPoint(0, 0), w->frameGeometry().size());
                r.moveCenter(s->availableGeometry().center());
                w->move(r.topLeft());
            }
        }
        return false;
    }
};
}

void centreOnScreen(QWidget* window)
{
    if (window) window->installEventFilter(new ScreenCentre(window));
}

int captionWidth(const QString& caption)
{
    QFont f = QApplication::font();
    f.setBold(true);
    // The program's icon on the left, minimise, maximise and close on the right.
    constexpr int kTitleBarFurniture = 150;
    return QFontMetrics(f).horizontalAdvance(caption) + kTitleBarFurniture;
}

namespace {
class OwnerCentre : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (!o->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(o);
        if (e->type() == QEvent::Show) place(w);
        if ((e->type() == QEvent::Show || e->type() == QEvent::WindowActivate) && w->isWindow() && isOrdinaryWindow(w))
            cameForward(w);
        return false;
    }

private:
    static void place(QWidget* w)
    {
        if (!w->isWindow() || !isOrdinaryWindow(w) || w->property("qmPlaced").toBool()) return;
        // Placed once, on the first show; later shows find it where it was left.
        w->setProperty("qmPlaced", true);
        if (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
        if (w->windowFlags() & Qt::FramelessWindowHint) return;
        QWidget* owner = w->parentWidget() ? w->parentWidget()->window() : nullptr;
        if (owner && (!owner->isVisible() || owner->isMinimized())) owner = nullptr;
        QScreen* s = owner ? owner->screen() : w->screen();
        if (!s) s = QGuiApplication::primaryScreen();
        if (!s) return;
        const QRect avail = s->availableGeometry();
        const int wanted = std::min(captionWidth(w->windowTitle()), avail.width());
        if (w->width() < wanted && w->maximumWidth() >= wanted) w->resize(wanted, w->height());
        if (w->testAttribute(Qt::WA_Moved)) return;
        QRect r(QPoint(0, 0), w->frameGeometry().size());
        r.moveCenter(owner ? owner->frameGeometry().center() : avail.center());
        r.moveLeft(std::max(avail.left(), std::min(r.left(), avail.right() + 1 - r.width())));
        r.moveTop(std::max(avail.top(), std::min(r.top(), avail.bottom() + 1 - r.height())));
        w->move(r.topLeft());
    }
};
}

void placeWindowsOverOwners()
{
    static QPointer<OwnerCentre> filter;
    if (filter || !qApp) return;
    filter = new OwnerCentre(qApp);
    qApp->installEventFilter(filter);
}
}
