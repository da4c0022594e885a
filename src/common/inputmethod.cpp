#include "common/inputmethod.h"
#include <QEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

namespace qm::ime {

namespace {

const char* const kProperty = "imeName";
const char* const kFollowed = "imeFollowed";

Switcher& switcher()
{
    static Switcher s = ibusSwitcher();
    return s;
}

// Watches one box: on at focus-in, back at focus-out.
class Follower : public QObject {
public:
    explicit Follower(QWidget* box) : QObject(box) { box->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::FocusIn) switchOn(static_cast<QWidget*>(watched));
        else if (e->type() == QEvent::FocusOut || e->type() == QEvent::Hide) switchBack();
        return false;
    }

    ~Follower() override { switchBack(); }

private:
    void switchOn(QWidget* box)
    {
        const QString wanted = inputMethodOf(box);
        const Switcher& s = switcher();
        if (wanted.isEmpty() || !s.current || !s.select || switched_) return;
        const QString before = s.current();
        if (before.isEmpty() || before == wanted) return; // no input-method service here, or already on
        s.select(wanted);
        before_ = before;
        switched_ = true;
    }

    void switchBack()
    {
        if (!switched_) return;
        switched_ = false;
        if (const Switcher& s = switcher(); s.select) s.select(before_);
    }

    QString before_;
    bool switched_ = false;
};

QString ibusProgram()
{
    static const QString path = QStandardPaths::findExecutable(QStringLiteral("ibus"));
    return path;
}

} // namespace

void giveInputMethod(QWidget* box, const QString& name)
{
    if (!box) return;
    box->setProperty(kProperty, name.trimmed());
    if (!box->property(kFollowed).toBool()) {
        box->setProperty(kFollowed, true);
        new Follower(box);
    }
}

QString inputMethodOf(const QWidget* box) { return box ? box->property(kProperty).toString() : QString(); }

Switcher ibusSwitcher()
{
    Switcher s;
    s.current = [] {
        if (ibusProgram().isEmpty()) return QString();
        QProcess p;
        p.start(ibusProgram(), {QStringLiteral("engine")});
        if (!p.waitForFinished(1000)) {
            p.kill();
            p.waitForFinished(200);
            return QString();
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return QString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    s.select = [](const QString& name) {
        if (!ibusProgram().isEmpty()) QProcess::startDetached(ibusProgram(), {QStringLiteral("engine"), name});
    };
    return s;
}

void setSwitcher(const Switcher& s) { switcher() = s; }

}
