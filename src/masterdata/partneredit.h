#pragma once
// The editor of members and customers, suppliers, cash and bank accounts,
// employees and warehouses: one engine, told apart by the kind's description.
// It works on the data module's shared query of its table, the one the list
// shows, and uses the hand-over fields editMode and currentIntno.
#include "masterdata/partnerkinds.h"
#include <QMap>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace qm {

// The editing rules without any window: numbering, the uniqueness checks with
// their messages and questions, and the write.
class PartnerEditing {
public:
    explicit PartnerEditing(PartnerKind kind) : d_(partnerDesc(kind)) {}
    const PartnerDesc& desc() const { return d_; }

    // The largest intno of the table plus one (1 for an empty table), ten digits.
    QString nextIntno() const;
    // What the number box proposes: the next number at the width of the id.
    QString proposedId() const;

    // The current record of the shared query, column -> text, for the boxes.
    QMap<QString, QString> currentValues() const;

    // Checks and writes the record from `values` (column -> text as typed) in
    // the mode qm::session().editMode says. A refusal shows its message (or the
    // question is answered Cancel) and returns false with the column whose box
    // takes the focus. A save leaves editMode "F" and currentIntno on the record.
    bool save(const QMap<QString, QString>& values, QString* focusColumn = nullptr);

private:
    const PartnerDesc& d_;
};

class PartnerEditor : public QWidget {
    Q_OBJECT
public:
    PartnerEditor(PartnerKind kind, QWidget* owner);
    ~PartnerEditor() override;
    PartnerKind kind() const { return kind_; }
    PartnerEditing& logic() { return logic_; }

    QLineEdit* box(const QString& column) const;
    QCheckBox* CheckBox1 = nullptr; // 修改
    QCheckBox* CheckBox2 = nullptr; // 新增时复制上一记录

public slots:
    void FormShow();
    void CheckBox1Click();
    bool Button1Click(); // 保存
    void Button2Click(); // 新增
    void Button5Click(); // 返回 / 取消
    void Button3Click(); // 保存并新增 (warehouses)
    void Button4Click(); // 保存并退出 (warehouses)
    void BitBtn1Click(); // 首记录
    void BitBtn3Click(); // 上一条
    void BitBtn4Click(); // 下一条
    void BitBtn2Click(); // 末记录

protected:
    void showEvent(QShowEvent* e) override;

private:
    void loadCurrent();
    void clearBoxes(bool keepOthers);
    void navigate(int step);
    QMap<QString, QString> values() const;

    PartnerKind kind_;
    PartnerEditing logic_;
    std::vector<QLineEdit*> edits_; // in tab order
    std::vector<QLineEdit*> chineseBoxes_; // take the configured input method
    QPushButton* saveTarget_ = nullptr; // where Enter on the last box goes
    bool shown_ = false;
};

// The open editor of a kind, if any (one of each kind at a time).
PartnerEditor* openPartnerEditor(PartnerKind kind);
// Creates the editor of a kind owned by `list`, or brings the open one forward.
PartnerEditor* showPartnerEditor(PartnerKind kind, QWidget* list);

}

class Tfrcustomeredit : public qm::PartnerEditor {
    Q_OBJECT
public:
    explicit Tfrcustomeredit(QWidget* owner) : qm::PartnerEditor(qm::PartnerKind::Customer, owner) {}
};
class Tfrbranchedit : public qm::PartnerEditor {
    Q_OBJECT
public:
    explicit Tfrbranchedit(QWidget* owner) : qm::PartnerEditor(qm::PartnerKind::Supplier, owner) {}
};
class Tfrbankedit : public qm::PartnerEditor {
    Q_OBJECT
public:
    explicit Tfrbankedit(QWidget* owner) : qm::PartnerEditor(qm::PartnerKind::Account, owner) {}
};
class Tfremployeeedit : public qm::PartnerEditor {
    Q_OBJECT
public:
    explicit Tfremployeeedit(QWidget* owner) : qm::PartnerEditor(qm::PartnerKind::Employee, owner) {}
};
class Tfrstoreedit : public qm::PartnerEditor {
    Q_OBJECT
public:
    explicit Tfrstoreedit(QWidget* owner) : qm::PartnerEditor(qm::PartnerKind::Store, owner) {}
};
