#pragma once
// The document list window of every kind (Tfrinlist, Tfroutlist, ...): the
// grid over AQoutlist with posted headers in blue and reversed ones in red,
// the search by number, date, party code or party name, 明细单 and 新开单.
#include "documents/doclists.h"
#include <QPointer>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QTableView;
class QToolButton;

namespace qm {
class DatasetModel;

namespace doc {

class DocumentList : public QWidget {
    Q_OBJECT
public:
    DocumentList(DocKind kind, QWidget* owner);
    ~DocumentList() override;
    const DocListDesc& desc() const { return d_; }

    QComboBox* ComboBox1 = nullptr;
    QLineEdit* Edit12 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QToolButton* findbill = nullptr;
    QToolButton* ToolButton5 = nullptr; // 新开单
    QToolButton* detail = nullptr;
    QToolButton* quit = nullptr;

    // The document window opened from the list, while it is open.
    QWidget* documentWindow() const { return document_; }

public slots:
    void findbillClick();
    void ComboBox1Select();
    void Edit12Enter();      // Enter in the search edit
    void Edit12DblClick();
    void detailClick();
    void ToolButton5Click(); // 新开单
    void quit1Click();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // The picker-date lists take the date only from the picker.
    void applyDateTyping();
    void applyGridColumns();
    void watchDocument(QWidget* w, const QString& intno);
    void documentClosed(const QString& intno);
    QString searchField() const;

    const DocListDesc& d_;
    DatasetModel* model_ = nullptr;
    QPointer<QWidget> document_;
    bool closing_ = false;
};

// The open list of a kind, if any.
DocumentList* openDocumentList(DocKind kind);
// The main menu's command: docMode "F", AQoutlist on every header of the kind,
// the list shown with the main window disabled until it closes.
DocumentList* openDocumentListFromMenu(DocKind kind);

}
}
