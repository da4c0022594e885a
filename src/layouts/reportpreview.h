#pragma once
// The preview of a prepared report: its pages one under the other, each drawn
// from the layout's page model only while it is in view, at the printer's
// resolution scaled to the zoom, so that the screen shows what the printer
// prints. A toolbar holds zoom, fit to width or page, page navigation, print
// and printer choice.
#include <QAbstractScrollArea>
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;

namespace qm::report {

class Layout;

class PageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class Fit { None, Width, Page };

    PageView(Layout& layout, double printerDpi, QWidget* parent = nullptr);

    int pageCount() const;
    // The page at the top of the view (the last one once scrolled to the end).
    int currentPage() const { return current_; }
    void showPage(int number);
    // 1 shows the paper at its own size on the screen.
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    void setFit(Fit fit);
    Fit fit() const { return fit_; }

signals:
    void currentPageChanged(int number);
    void zoomChanged(double zoom);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QSizeF pageSize() const; // on the screen at the zoom, in pixels
    double stride() const { return pageSize().height() + kGap; }
    void applyFit();
    void zoomTo(double zoom);
    void scrollTo(double y);
    void updateScrollBars();
    void setCurrent(int number);

    static constexpr int kGap = 12; // between pages and around them, pixels
    Layout& layout_;
    double printerDpi_;
    double zoom_ = 1;
    Fit fit_ = Fit::Page;
    int current_ = 1;
    bool jumping_ = false;
};

class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    PreviewDialog(Layout& layout, QPrinter& printer, QWidget* parent = nullptr);

    PageView* view() const { return view_; }
    void fitToWidth();

public slots:
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void zoomIn();
    void zoomOut();
    // The print dialog, then every page chosen on its printer; the preview then closes.
    void printClick();
    // The printer's own setup; the preview stays.
    void printSetupClick();

private:
    void makeToolBar();
    void pageShown(int number);
    void zoomShown(double zoom);
    void pageTyped();
    void zoomTyped();

    Layout& layout_;
    QPrinter& printer_;
    PageView* view_ = nullptr;
    QLineEdit* pageBox_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
};

}
