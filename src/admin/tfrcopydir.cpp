#include "admin/tfrcopydir.h"
#include "admin/backup.h"
#include "admin/restore.h"
#include "admin/backupcommands.h"
#include "admin/rights.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/paths.h"
#include "data/bakcopy.h"
#include "data/damage.h"
#include "shell/commands.h"
#include "shell/session.h"
#include "shell/windowprotocol.h"
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QApplication>
#include <QStyle>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <memory>

namespace qm {
// The folders from "/" down, for the folder list: each folder's subfolders
// are read when it is first opened, sorted by name without regard to case
// (hidden folders left out), and kept: rows neither come nor move while the
// window is open, so that the row under the mouse or the keyboard is the one
// the operator sees.
class FolderModel : public QAbstractItemModel {
public:
    explicit FolderModel(QObject* parent) : QAbstractItemModel(parent)
    {
        top_.name = top_.path = QStringLiteral("/");
        top_.parent = &hidden_;
        hidden_.listed = true;
        top_.row = 0;
    }

    QString pathOf(const QModelIndex& i) const { return i.isValid() ? node(i)->path : QString(); }

    // The row of `path`, its parents read on the way; invalid when a part of
    // it is no folder in the list.
    QModelIndex indexOf(const QString& path)
    {
        Node* at = &top_;
        for (const QString& part : QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            list(at);
            auto it = std::find_if(at->children.begin(), at->children.end(),
                                   [&part](const std::unique_ptr<Node>& c) { return c->name == part; });
            if (it == at->children.end()) return {};
            at = it->get();
        }
        return createIndex(at->row, 0, at);
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        const Node* p = parent.isValid() ? node(parent) : &hidden_;
        if (column != 0 || row < 0) return {};
        if (p == &hidden_) return row == 0 ? createIndex(0, 0, const_cast<Node*>(&top_)) : QModelIndex();
        if (row >= int(p->children.size())) return {};
        return createIndex(row, 0, p->children[size_t(row)].get());
    }
    QModelIndex parent(const QModelIndex& i) const override
    {
        if (!i.isValid()) return {};
        Node* p = node(i)->parent;
        return p == &hidden_ ? QModelIndex() : createIndex(p->row, 0, p);
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        if (!parent.isValid()) return 1;
        return parent.column() == 0 ? int(node(parent)->children.size()) : 0;
    }
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    bool hasChildren(const QModelIndex& parent = {}) const override
    {
        if (!parent.isValid()) return true;
        const Node* n = node(parent);
        return !n->listed || !n->children.empty();
    }
    bool canFetchMore(const QModelIndex& parent) const override { return parent.isValid() && !node(parent)->listed; }
    void fetchMore(const QModelIndex& parent) override
    {
        if (parent.isValid()) list(node(parent));
    }
    QVariant data(const QModelIndex& i, int role) const override
    {
        if (!i.isValid()) return {};
        if (role == Qt::DisplayRole) return node(i)->name;
        if (role == Qt::DecorationRole) return folderIcon_;
        return {};
    }

private:
    struct Node {
        QString name, path;
        Node* parent = nullptr;
        int row = 0;
        bool listed = false;
        std::vector<std::unique_ptr<Node>> children;
    };
    static Node* node(const QModelIndex& i) { return static_cast<Node*>(i.internalPointer()); }

    void list(Node* n)
    {
        if (n->listed) return;
        n->listed = true;
        QStringList names = QDir(n->path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (names.isEmpty()) return;
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            const int c = a.compare(b, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a < b;
        });
        beginInsertRows(createIndex(n->row, 0, n), 0, int(names.size()) - 1);
        for (const QString& name : names) {
            auto c = std::make_unique<Node>();
            c->name = name;
            c->path = n->path.endsWith(QLatin1Char('/')) ? n->path + name : n->path + QLatin1Char('/') + name;
            c->parent = n;
            c->row = int(n->children.size());
            n->children.push_back(std::move(c));
        }
        endInsertRows();
    }

    Node hidden_; // the list's invisible root, above "/"
    Node top_;    // "/"
    QIcon folderIcon_ = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
};
}

namespace {
// The folder list. The operator's own picks, by mouse or keyboard, are told
// apart from the rows the window makes current itself.
class FolderTree : public QTreeView {
public:
    using QTreeView::QTreeView;
    std::function<void(const QModelIndex&)> picked; // the operator made this row current

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        QTreeView::currentChanged(current, previous);
        if (byOperator_ && current.isValid()) picked(current);
    }
    void mousePressEvent(QMouseEvent* e) override { byOperator([&] { QTreeView::mousePressEvent(e); }); }
    void mouseReleaseEvent(QMouseEvent* e) override { byOperator([&] { QTreeView::mouseReleaseEvent(e); }); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { byOperator([&] { QTreeView::mouseDoubleClickEvent(e); }); }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (e->buttons() == Qt::NoButton) QTreeView::mouseMoveEvent(e);
        else byOperator([&] { QTreeView::mouseMoveEvent(e); });
    }
    void keyPressEvent(QKeyEvent* e) override { byOperator([&] { QTreeView::keyPressEvent(e); }); }

private:
    void byOperator(const std::function<void()>& handle)
    {
        byOperator_ = true;
        const auto done = qScopeGuard([this] { byOperator_ = false; });
        handle();
    }
    bool byOperator_ = false;
};
}

Tfrcopydir::Tfrcopydir(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Frcopydir"));
    setWindowTitle(QStringLiteral("数据备份恢复-请慎重选择!"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !v.rootPath().startsWith(QLatin1String("/proc"))
            && !v.rootPath().startsWith(QLatin1String("/sys")))
            DriveComboBox1->addItem(v.rootPath());

    folders_ = new qm::FolderModel(this);
    auto* tree = new FolderTree(this);
    tree->picked = [this](const QModelIndex& i) { choose(folders_->pathOf(i)); };
    DirectoryListBox1 = tree;
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setModel(folders_);
    DirectoryListBox1->header()->hide();
    DirectoryListBox1->setMinimumSize(360, 260);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);

    auto* warn = new QLabel(QStringLiteral("请慎重操作!"), this);
    warn->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    Label4 = new QLabel(QStringLiteral("将数据复制到备份位置或从备份位置复制到工作位置。"), this);
    Label4->setObjectName(QStringLiteral("Label4"));

    BitBtn1 = new QPushButton(QStringLiteral("开始备份"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("开始恢复"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3 = new QPushButton(QStringLiteral("退出"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("选择数据备份磁盘"), this), 0, 0);
    grid->addWidget(DriveComboBox1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("选择数据备份位置"), this), 1, 0, Qt::AlignTop);
    grid->addWidget(DirectoryListBox1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("你选择的数据备份位置是："), this), 2, 0);
    grid->addWidget(Edit1, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(warn);
    buttons->addStretch(1);
    for (QPushButton* b : {BitBtn1, BitBtn2, BitBtn3}) buttons->addWidget(b);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(grid, 1);
    lay->addWidget(Label4);
    lay->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, &Tfrcopydir::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfrcopydir::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &Tfrcopydir::BitBtn3Click);
    connect(DriveComboBox1, &QComboBox::activated, this, &Tfrcopydir::DriveComboBox1Change);

    QString bak = qm::AppPaths::file(QStringLiteral("bak"));
    QDir().mkpath(bak);
    setFolder(bak);
    resize(620, 460);
    qm::centreOnScreen(this);
}

QString Tfrcopydir::folder() const { return Edit1->text(); }

void Tfrcopydir::choose(const QString& folder)
{
    Edit1->setText(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

QString Tfrcopydir::pathOf(const QModelIndex& row) const { return folders_->pathOf(row); }

void Tfrcopydir::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    // The keys go to the folder list: the drive box moves the choice to
    // another disk only when the operator opens it.
    DirectoryListBox1->setFocus();
}

void Tfrcopydir::setFolder(const QString& folder)
{
    choose(folder);
    const QString chosen = this->folder();
    const QModelIndex i = folders_->indexOf(chosen);
    if (i.isValid()) {
        for (QModelIndex p = i.parent(); p.isValid(); p = p.parent()) DirectoryListBox1->expand(p);
        DirectoryListBox1->setCurrentIndex(i);
        DirectoryListBox1->scrollTo(i, QAbstractItemView::PositionAtCenter);
    } else {
        DirectoryListBox1->selectionModel()->clear();
    }
    const QString root = QStorageInfo(chosen).rootPath();
    const int at = DriveComboBox1->findText(root);
    if (at >= 0) DriveComboBox1->setCurrentIndex(at);
}

void Tfrcopydir::DriveComboBox1Change() { setFolder(DriveComboBox1->currentText()); }

QString Tfrcopydir::chosenFile() const { return folder() + QStringLiteral("/vkdb.mdb"); }

bool Tfrcopydir::refuseWorkingFolder()
{
    if (!qm::sameFolder(folder(), qm::AppPaths::file(QStringLiteral("works")))) return false;
    qm::dlg::showMessage(QStringLiteral("备份位置不能是工作数据位置,请另选文件夹！ "));
    return true;
}

void Tfrcopydir::BitBtn1Click()
{
    qm::dlg::showMessage(QStringLiteral("你选择的数据备份位置是:") + chosenFile());
    if (refuseWorkingFolder()) return;
    if (!qm::dlg::confirm(QStringLiteral("是否进行备份数据?"))) return;
    {
        qm::ConnectionPause pause;
        try {
            const QString working = qm::AppPaths::workingDatabase(), target = chosenFile();
            qm::LongWork(QStringLiteral("数据备份")).run([&](const qm::StepReport& report) {
                qm::copyDatabaseFile(working, target, qm::stepsTo(report));
            });
            qm::dlg::showMessage(QStringLiteral("数据备份完毕！ "));
        } catch (const qm::AppError& e) {
            qm::dlg::showMessage(qm::withReason(QStringLiteral("请检查本系统的数据备份是否存在！ "), qm::reasonOf(e)));
        }
        pause.resume();
    }
    close();
}

void Tfrcopydir::BitBtn2Click()
{
    // The copy's date and size beside it: the operator sees which copy replaces the data.
    const QString copy = qm::backupFileText(chosenFile());
    qm::dlg::showMessage(QStringLiteral("你选择的数据备份位置是:") + chosenFile() + (copy.isEmpty() ? QString() : QStringLiteral("\r") + copy));
    if (refuseWorkingFolder()) return;
    if (!qm::dlg::confirm(QStringLiteral("是否进行数据恢复?"))) return;
    {
        qm::ConnectionPause pause;
        const QString missing = QStringLiteral("请检查本系统的数据备份是否存在！ ");
        try {
            const QString backup = chosenFile(), working = qm::AppPaths::workingDatabase();
            if (!QFileInfo(backup).isFile()) {
                qm::dlg::showMessage(missing);
            } else {
                QString kept, reason;
                qm::RestoreOutcome outcome;
                qm::LongWork(QStringLiteral("数据恢复")).run([&](const qm::StepReport& report) {
                    outcome = qm::restoreDatabase(backup, working, &kept, &reason, qm::KeptAs::BeforeRestore,
                                                  qm::stepsTo(report));
                });
                switch (outcome) {
                case qm::RestoreOutcome::Restored:
                case qm::RestoreOutcome::FailedButRestored: {
                    const QString head = outcome == qm::RestoreOutcome::Restored
                                             ? QStringLiteral("数据恢复完毕！ ")
                                             : qm::withReason(QStringLiteral("数据已恢复,但恢复过程中报告了错误,请检查磁盘！ "), reason);
                    // bak/ takes the restored data: a later start-up swap would undo the restore.
                    qm::requestBakCopy();
                    qm::dlg::showMessage(qm::restoredText(head, kept, qm::pruneKeptCopies(working, kept)));
                    break;
                }
                case qm::RestoreOutcome::NotUsable:
                    qm::dlg::showMessage(QStringLiteral("备份位置的数据文件已损坏或不是本系统的数据,不能恢复！工作数据没有改变。 "));
                    break;
                case qm::RestoreOutcome::FailedUnchanged:
                    qm::dlg::showMessage(qm::withReason(QStringLiteral("数据恢复失败,工作数据没有改变。 "), reason));
                    break;
                }
            }
        } catch (const qm::AppError& e) {
            qm::dlg::showMessage(qm::withReason(missing, qm::reasonOf(e)));
        }
        pause.resume();
    }
    close();
}

void Tfrcopydir::BitBtn3Click() { close(); }

namespace qm {
void openBackupRestore()
{
    if (!requireAdministrator()) return;
    if (qm::session().lastYearMode == QLatin1String("T")) {
        dlg::showMessage(QStringLiteral("正在查去年数据，不能做备份恢复功能"));
        return;
    }
    openChildWindow([](QWidget* owner) { return new Tfrcopydir(owner); });
}
}

// 数据备份恢复
QM_COMMAND("N45", [] { qm::openBackupRestore(); });
