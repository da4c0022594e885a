#include "layouts/reportpreview.h"
#include "common/dialogs.h"
#include "layouts/report.h"
#include <QAction>
#include <QComboBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qm::report {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr double kMinZoom = 0.1, kMaxZoom = 4, kZoomStep = 1.25;

QIcon toolIcon(const char* name)
{
    const QString base = QStringLiteral(":/qt-project.org/dialogs/qprintpreviewdialog/images/%1-%2.png");
    QIcon icon;
    icon.addFile(base.arg(QLatin1String(name)).arg(24), QSize(24, 24));
    icon.addFile(base.arg(QLatin1String(name)).arg(32), QSize(32, 32));
    return icon;
}
}

// ------------------------------------------------------------------ view

PageView::PageView(Layout& layout, double printerDpi, QWidget* parent)
    : QAbstractScrollArea(parent), layout_(layout), printerDpi_(printerDpi)
{
    setObjectName(QStringLiteral("pages"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    // Always there, so that fitting to the width cannot make it come and go.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
    setFocusPolicy(Qt::StrongFocus);
}

int PageView::pageCount() const { return layout_.pageCount(); }

QSizeF PageView::pageSize() const
{
    const Paper& paper = layout_.paper();
    return QSizeF(paper.width / kMmPerInch * logicalDpiX() * zoom_, paper.length / kMmPerInch * logicalDpiY() * zoom_);
}

void PageView::updateScrollBars()
{
    const QSizeF page = pageSize();
    const double height = pageCount() * stride() + kGap, width = page.width() + 2 * kGap;
    auto range = [](QScrollBar* bar, double content, int shown) {
        const double over = std::min(content - shown, double(std::numeric_limits<int>::max()));
        bar->setRange(0, std::max(0, int(over)));
        bar->setPageStep(shown);
    };
    range(verticalScrollBar(), height, viewport()->height());
    range(horizontalScrollBar(), width, viewport()->width());
}

void PageView::setCurrent(int number)
{
    if (number == current_) return;
    current_ = number;
    emit currentPageChanged(number);
}

void PageView::scrollTo(double y)
{
    jumping_ = true;
    verticalScrollBar()->setValue(int(std::min(y, double(std::numeric_limits<int>::max()))));
    jumping_ = false;
    viewport()->update();
}

void PageView::showPage(int number)
{
    number = std::clamp(number, 1, std::max(1, pageCount()));
    scrollTo((number - 1) * stride());
    setCurrent(number);
}

void PageView::setZoom(double zoom)
{
    fit_ = Fit::None;
    zoomTo(zoom);
}

void PageView::zoomTo(double zoom)
{
    // The place in the page at the top stays at the top.
    const double at = verticalScrollBar()->value() / stride();
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    updateScrollBars();
    scrollTo(at * stride());
    emit zoomChanged(zoom_);
}

void PageView::setFit(Fit fit)
{
    fit_ = fit;
    applyFit();
}

void PageView::applyFit()
{
    if (fit_ == Fit::None) return;
    const QSizeF page = pageSize() / zoom_;
    double fitted = (viewport()->width() - 2 * kGap) / page.width();
    if (fit_ == Fit::Page) fitted = std::min(fitted, (viewport()->height() - 2 * kGap) / page.height());
    zoomTo(fitted);
}

void PageView::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
    applyFit();
}

void PageView::scrollContentsBy(int, int)
{
    viewport()->update();
    if (jumping_) return;
    const QScrollBar* bar = verticalScrollBar();
    const int n = pageCount();
    const int top = bar->maximum() > 0 && bar->value() >= bar->maximum() ? n : 1 + int((bar->value() + stride() / 2) / stride());
    setCurrent(std::clamp(top, 1, std::max(1, n)));
}

void PageView::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Home) showPage(1);
    else if (e->key() == Qt::Key_End) showPage(pageCount());
    else QAbstractScrollArea::keyPressEvent(e);
}

void PageView::paintEvent(QPaintEvent*)
{
    const int n = pageCount();
    if (n == 0) return;
    QPainter p(viewport());
    const QSizeF size = pageSize();
    const double top = verticalScrollBar()->value();
    const double step = stride();
    const double x = size.width() + 2 * kGap <= viewport()->width() ? (viewport()->width() - size.width()) / 2
                                                                     : kGap - horizontalScrollBar()->value();
    const int first = std::clamp(int((top - kGap) / step), 0, n - 1);
    const int last = std::clamp(int((top + viewport()->height()) / step), 0, n - 1);
    // The pages in view, and no others, are drawn from the page model.
    const double scale = size.width() / (layout_.paper().width / kMmPerInch * printerDpi_);
    for (int i = first; i <= last; ++i) {
        const QRectF sheet(x, kGap + i * step - top, size.width(), size.height());
        if (!sheet.intersects(viewport()->rect())) continue;
        p.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 80));
        p.fillRect(sheet, Qt::white);
        p.save();
        p.setClipRect(sheet);
        p.translate(sheet.topLeft());
        p.scale(scale, scale);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        layout_.drawPage(p, i + 1, printerDpi_);
        p.restore();
    }
}

// ---------------------------------------------------------------- dialog

PreviewDialog::PreviewDialog(Layout& layout, QPrinter& printer, QWidget* parent)
    : QDialog(parent), layout_(layout), printer_(printer)
{
    setObjectName(QStringLiteral("reportPreview"));
    setWindowTitle(layout.ReportTitle);
    view_ = new PageView(layout, printer.logicalDpiX(), this);
    makeToolBar();
    connect(view_, &PageView::currentPageChanged, this, &PreviewDialog::pageShown);
    connect(view_, &PageView::zoomChanged, this, &PreviewDialog::zoomShown);
    pageShown(1);
    zoomShown(view_->zoom());
    view_->setFocus();
}

void PreviewDialog::makeToolBar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("previewTools"));
    bar->setIconSize(QSize(24, 24));
    auto add = [this, bar](const char* name, const QString& text, const char* icon, auto slot) {
        QAction* a = bar->addAction(text);
        a->setObjectName(QLatin1String(name));
        if (icon) a->setIcon(toolIcon(icon));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QAction* width = add("fitWidth", QStringLiteral("适合宽度"), "zoom-fit-width", [this] { view_->setFit(PageView::Fit::Width); });
    QAction* whole = add("fitPage", QStringLiteral("整页"), "zoom-fit-page", [this] { view_->setFit(PageView::Fit::Page); });
    width->setCheckable(true);
    whole->setCheckable(true);
    zoomBox_ = new QComboBox(bar);
    zoomBox_->setObjectName(QStringLiteral("zoom"));
    zoomBox_->setEditable(true);
    zoomBox_->setInsertPolicy(QComboBox::NoInsert);
    for (int z : {10, 25, 50, 75, 100, 125, 150, 200, 400}) zoomBox_->addItem(QStringLiteral("%1%").arg(z));
    zoomBox_->setMinimumContentsLength(5);
    bar->addWidget(zoomBox_);
    connect(zoomBox_, &QComboBox::textActivated, this, [this] { zoomTyped(); });
    connect(zoomBox_->lineEdit(), &QLineEdit::returnPressed, this, [this] { zoomTyped(); });
    add("zoomOut", QStringLiteral("缩小"), "zoom-out", &PreviewDialog::zoomOut);
    add("zoomIn", QStringLiteral("放大"), "zoom-in", &PreviewDialog::zoomIn);
    bar->addSeparator();
    add("firstPage", QStringLiteral("首页"), "go-first", &PreviewDialog::firstPage);
    add("previousPage", QStringLiteral("上一页"), "go-previous", &PreviewDialog::previousPage);
    bar->addWidget(new QLabel(QStringLiteral(" 第 "), bar));
    pageBox_ = new QLineEdit(bar);
    pageBox_->setObjectName(QStringLiteral("pageNumber"));
    pageBox_->setValidator(new QIntValidator(1, std::max(1, layout_.pageCount()), pageBox_));
    pageBox_->setAlignment(Qt::AlignRight);
    pageBox_->setFixedWidth(pageBox_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    bar->addWidget(pageBox_);
    connect(pageBox_, &QLineEdit::returnPressed, this, &PreviewDialog::pageTyped);
    pageCount_ = new QLabel(QStringLiteral(" 页，共 %1 页 ").arg(layout_.pageCount()), bar);
    pageCount_->setObjectName(QStringLiteral("pageCount"));
    bar->addWidget(pageCount_);
    add("nextPage", QStringLiteral("下一页"), "go-next", &PreviewDialog::nextPage);
    add("lastPage", QStringLiteral("末页"), "go-last", &PreviewDialog::lastPage);
    bar->addSeparator();
    add("printSetup", QStringLiteral("打印设置"), "page-setup", &PreviewDialog::printSetupClick);
    add("print", QStringLiteral("打印"), "printer", &PreviewDialog::printClick);
    bar->addSeparator();
    add("close", QStringLiteral("关闭"), nullptr, &QDialog::reject);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(bar);
    box->addWidget(view_, 1);
}

void PreviewDialog::fitToWidth() { view_->setFit(PageView::Fit::Width); }
void PreviewDialog::firstPage() { view_->showPage(1); }
void PreviewDialog::previousPage() { view_->showPage(view_->currentPage() - 1); }
void PreviewDialog::nextPage() { view_->showPage(view_->currentPage() + 1); }
void PreviewDialog::lastPage() { view_->showPage(view_->pageCount()); }
void PreviewDialog::zoomIn() { view_->setZoom(view_->zoom() * kZoomStep); }
void PreviewDialog::zoomOut() { view_->setZoom(view_->zoom() / kZoomStep); }

void PreviewDialog::pageShown(int number) { pageBox_->setText(QString::number(number)); }

void PreviewDialog::zoomShown(double zoom)
{
    zoomBox_->setEditText(QStringLiteral("%1%").arg(std::lround(zoom * 100)));
    findChild<QAction*>(QStringLiteral("fitWidth"))->setChecked(view_->fit() == PageView::Fit::Width);
    findChild<QAction*>(QStringLiteral("fitPage"))->setChecked(view_->fit() == PageView::Fit::Page);
}

void PreviewDialog::pageTyped()
{
    bool ok = false;
    const int n = pageBox_->text().toInt(&ok);
    if (ok) view_->showPage(n);
    pageShown(view_->currentPage());
}

void PreviewDialog::zoomTyped()
{
    QString t = zoomBox_->currentText();
    t.remove(QLatin1Char('%'));
    bool ok = false;
    const double percent = t.trimmed().toDouble(&ok);
    if (ok && percent > 0) view_->setZoom(percent / 100);
    else zoomShown(view_->zoom());
}

void PreviewDialog::printClick()
{
    if (!dlg::print(&printer_)) return;
    layout_.configurePrinter(printer_);
    // A printer that cannot be started leaves the preview open.
    if (layout_.paint(printer_, printer_.fromPage(), printer_.toPage())) accept();
}

void PreviewDialog::printSetupClick() { dlg::printerSetup(&printer_); }

}
