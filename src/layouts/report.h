#pragma once
// The banded report engine. A layout is described in code: paper, bands and
// the elements on them, placed in millimetres. Prepare() lays out every page
// into a compact page model: each page's bands with their places, and every
// text as it was printed. A page is drawn from it when it is needed, as
// positioned texts and lines (a Page) that tests read directly: one at a time
// into the preview as it is shown, onto the printer or into a PDF file.
//
//   qm::report::Layout r;
//   r.setDataset(frdm->AQoutdetail);
//   auto& head = r.pageHeader(22);
//   head.field(0, 0, 190, 8, frdm->ATcompany, "name").pt(14).bold().center();
//   head.label(0, 9, 190, 7, "进货统计单").named("title").pt(12).center();
//   head.system(130, 16, 60, 5, qm::report::SystemData::PrintDate).text("打印日期：%1");
//   r.addColumns({{"日期", "billdate", 30}, {"数量", "sl", 20, qm::report::Align::Right}});
//   r.summary(8).label(0, 1, 25, 6, "合计数量:");
//   r.summary().field(25, 1, 30, 6, frdm->AQtotallist, "hjsl");
//   r.pageFooter(8).system(80, 1, 30, 6, qm::report::SystemData::PageNumber).text("第%1页").center();
//   r.Preview();
#include <QByteArray>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace qm {
class Dataset;

namespace report {

// Sides of a frame, combinable.
enum Side { NoSides = 0, Left = 1, Top = 2, Right = 4, Bottom = 8, AllSides = 15 };

enum class Align { Left, Center, Right };
enum class SystemData { PageNumber, PrintDate, PrintTime };
enum class BandKind { PageHeader, ColumnHeader, Detail, Summary, PageFooter };

struct Paper {
    double width = 210;   // mm
    double length = 297;  // mm
    double left = 10, top = 10, right = 10, bottom = 10; // margins, mm
    bool landscape = false; // how the sheet goes into the printer

    static Paper a4Portrait();
    static Paper a4Landscape();
    // A custom sheet, e.g. the 58 mm ticket with 2 mm margins.
    static Paper custom(double widthMm, double lengthMm, double marginMm);
    double usableWidth() const { return width - left - right; }
};

class Layout;

class Element {
public:
    enum class Kind { Label, Field, System, HRule, VRule };

    // Fluent settings.
    Element& named(const QString& name);
    Element& pt(double pointSize);
    Element& bold(bool on = true);
    Element& align(Align a);
    Element& center() { return align(Align::Center); }
    Element& right() { return align(Align::Right); }
    Element& frame(int sides);             // lines on the cell's sides
    Element& boxed() { return frame(AllSides); }
    // Template of a system data text or a field text: "%1" stands for the value ("第%1页").
    Element& text(const QString& pattern);
    // A number format of the data text's own, in place of its field's ("0.00").
    Element& format(const QString& pattern);

    Kind kind() const { return kind_; }
    QString name() const { return name_; }
    QRectF rect() const { return rect_; }
    QString caption() const { return caption_; }
    QString fieldName() const { return field_; }
    Dataset* dataset() const { return dataset_; }

private:
    friend class Band;
    friend class Layout;
    Kind kind_ = Kind::Label;
    int id_ = -1;
    QString name_;
    QRectF rect_;              // mm, relative to the band's top-left
    QString caption_;          // label text
    QString field_;
    Dataset* dataset_ = nullptr; // nullptr: the layout's master dataset
    SystemData system_ = SystemData::PageNumber;
    QString pattern_;          // "%1" template; empty means the value alone
    QString format_;           // number format; empty means the field's display format
    double pointSize_ = 0;     // 0: the layout's size
    bool bold_ = false;
    Align align_ = Align::Left;
    int frame_ = NoSides;
};

class Band {
public:
    BandKind kind() const { return kind_; }
    double height() const { return height_; }
    Band& setHeight(double mm) { height_ = mm; return *this; }
    // Page header on the first page only / page footer on the last page only.
    Band& firstPageOnly(bool on = true) { firstOnly_ = on; return *this; }
    Band& lastPageOnly(bool on = true) { lastOnly_ = on; return *this; }
    // Lines on the band's own sides (full printable width).
    Band& frame(int sides) { frame_ = sides; return *this; }

    // Elements, placed in mm from the band's top-left corner.
    Element& label(double x, double y, double w, double h, const QString& text);
    // A field of the master dataset (the row being printed; the last row in the summary).
    Element& field(double x, double y, double w, double h, const QString& fieldName);
    // A field of a side dataset at its current row.
    Element& field(double x, double y, double w, double h, Dataset* ds, const QString& fieldName);
    Element& system(double x, double y, double w, double h, SystemData what);
    Element& hrule(double x, double y, double width);
    Element& vrule(double x, double y, double height);

    const std::deque<Element>& elements() const { return elements_; }

private:
    friend class Layout;
    Band(Layout* owner, BandKind kind) : owner_(owner), kind_(kind) {}
    Element& add(Element::Kind k, double x, double y, double w, double h);
    Layout* owner_;
    BandKind kind_;
    double height_ = 0;
    bool firstOnly_ = false;
    bool lastOnly_ = false;
    int frame_ = NoSides;
    std::deque<Element> elements_;
};

// A column of a ruled table: caption over a field, in a boxed cell. A column
// without a field gets an empty label, named `cellName`, for the need-data
// handler to fill; with a field, `cellName` names the data text, and its
// heading is named `cellName` + "Caption", so that a layout can be changed.
struct Column {
    QString caption;
    QString field;
    double width = 20;
    Align align = Align::Left;
    QString cellName;
    int cellFrame = AllSides;
};

// ------------------------------------------------------------ page model

struct PageText {
    QRectF rect;       // mm from the sheet's top-left corner
    QString text;
    int element = -1;  // the element that printed it
    BandKind band = BandKind::Detail;
    double pointSize = 9;
    bool bold = false;
    Align align = Align::Left;
};

struct PageBand {
    BandKind kind;
    double top;        // mm from the sheet's top
    double height;
    int record;        // master row of a detail band, -1 otherwise
};

struct Page {
    int number = 0;    // from 1
    std::vector<PageBand> bands;
    std::vector<PageText> texts;
    std::vector<QLineF> lines; // mm

    // The texts of the page in print order, for tests and searches.
    QStringList textList() const;
    // The first text equal to `text`, or nullptr.
    const PageText* find(const QString& text) const;
};

// ------------------------------------------------------------------ layout

class Layout {
public:
    Layout();
    ~Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // The preview window's caption.
    QString ReportTitle;

    void setPaper(const Paper& p) { paper_ = p; }
    Paper& paper() { return paper_; }
    // The sheet length of a custom paper, settable at run time.
    void setPageLength(double mm) { paper_.length = mm; }

    // The master dataset, walked from first to last row.
    void setDataset(Dataset* ds) { master_ = ds; }
    Dataset* dataset() const { return master_; }

    // Default font ("WenQuanYi Micro Hei" first) and size in points.
    void setFontFamily(const QString& family);
    void setPointSize(double pt) { pointSize_ = pt; }
    double pointSize() const { return pointSize_; }

    // Bands, created on first use; a height given later replaces the earlier one.
    Band& pageHeader(double height = -1);
    Band& columnHeader(double height = -1);
    Band& detail(double height = -1);
    Band& summary(double height = -1);
    Band& pageFooter(double height = -1);
    Band* band(BandKind kind) const;

    // A ruled table: boxed captions in the column header and boxed fields in the
    // detail band, side by side from `left`.
    void addColumns(const std::vector<Column>& columns, double left = 0, double headerHeight = 7,
                    double rowHeight = 6);

    // Need-data mode: instead of walking the dataset, the handler is called
    // before each detail band. It fills the band's labels and returns false
    // when the records are exhausted (that call prints nothing).
    std::function<bool()> needData;

    // Called as each new page is begun while preparing, with the number of
    // pages finished so far; returning false cancels the preparation: Prepare
    // then returns 0 with no pages, cancelled() is true and Preview shows nothing.
    std::function<bool(int pagesDone)> onPage;
    bool cancelled() const { return cancelled_; }

    // Elements by name.
    Element* find(const QString& name) const;
    Element& element(const QString& name) const; // throws std::out_of_range
    // A label's caption; also changes pages already prepared.
    void setCaption(const QString& name, const QString& text);
    // The field of a data text, shown in `format` when one is given.
    void setField(const QString& name, const QString& field, const QString& format = QString());

    // Lays out every page unseen and returns the page count. The pages stay
    // prepared until Preview, print or writePdf consumes them, or clearPages.
    int Prepare();
    int pageCount() const { return int(pageIndex_.size()); }
    bool prepared() const { return prepared_; }
    void clearPages();

    // One prepared page (from 1) drawn from the page model, for a caller that
    // keeps it; nothing is kept here.
    Page makePage(int number) const;
    // The page (from 1) drawn from the page model when it is first asked for.
    // The layout keeps the few pages asked for last and forgets the others;
    // the reference holds until the next call.
    const Page& page(int number);
    int cachedPages() const { return int(cache_.size()); }
    // Every prepared page at once, kept until the pages change: for tests and
    // short reports; a long report is read page by page.
    const std::vector<Page>& pages() const;
    // Pages painted on any device since the last Prepare.
    int pagesDrawn() const { return drawn_; }

    // The modal preview: pages drawn as they come into view, navigation,
    // zoom, printing and printer choice on the shared printer. Uses the pages
    // already prepared, else prepares them once; releases them when it closes.
    void Preview();
    // The ticket opens maximised and zoomed to the page width.
    void setPreviewFitWidth(bool on) { fitWidth_ = on; }
    // Prints on the given printer (its page range honoured).
    void print(QPrinter& printer);
    // Writes the report as a PDF file; false when the file cannot be written.
    bool writePdf(const QString& path);

    // Paints the prepared pages, one per sheet of the device.
    // False when the device cannot be painted on.
    bool paint(QPagedPaintDevice& device, int fromPage = 1, int toPage = 0);
    // Paints one prepared page at the painter's origin, `dpi` device pixels to
    // the inch (the painter may scale them further, as the preview does).
    void drawPage(QPainter& p, int number, double dpi);

private:
    friend class Band;
    friend class PreviewDialog;
    // A band as it was placed on a page: its first `elements` elements (those
    // it had then), whose texts (rules have none) stand in the text store
    // from `firstText` on.
    struct Placed {
        double top;
        double height;
        int record;
        uint32_t firstText;
        uint32_t elements;
        BandKind kind;
    };
    // A page: its bands placed in order from `first`, then its footer (-1: none).
    struct PageEntry {
        uint32_t first = 0;
        uint32_t count = 0;
        int64_t footer = -1;
    };

    int registerElement(Element* e);
    Band& bandSlot(BandKind kind, double height);
    void ensurePrepared();
    int prepareAll();
    QString valueText(const Element& e, int masterRow, int pageNumber) const;
    void configurePrinter(QPrinter& printer) const;
    void paintPage(QPainter& p, const Page& page, double dpiX, double dpiY) const;
    QByteArrayView storedText(size_t i) const;
    void addText(const QString& text);
    void drawPlaced(Page& page, const Placed& placed) const;
    void pagesChanged();
    void replaceTexts(const std::vector<uint32_t>& at, const QString& text);

    static constexpr const char* kDefaultFamily = "WenQuanYi Micro Hei";
    Paper paper_ = Paper::a4Portrait();
    Dataset* master_ = nullptr;
    QString family_;
    double pointSize_ = 9;
    std::unique_ptr<Band> bands_[5];
    std::vector<Element*> elements_;
    // The page model.
    std::vector<PageEntry> pageIndex_;
    std::vector<Placed> placed_;
    QByteArray textChars_;           // every text in UTF-8, one after the other
    std::vector<uint32_t> textEnds_; // where each text ends in textChars_
    double left_ = 0, right_ = 0;    // the printable width's edges when prepared
    // Pages drawn from it.
    std::vector<Page> cache_;        // the last pages asked for, the latest last
    mutable std::vector<Page> all_;
    mutable int drawn_ = 0;
    bool prepared_ = false;
    bool cancelled_ = false;
    bool fitWidth_ = false;
};

// The rules of a page as few lines as possible: touching or overlapping pieces
// of one horizontal or vertical line become one line (a ruled table draws each
// cell's four sides). Slanted lines stay as they are.
std::vector<QLineF> joinRules(const std::vector<QLineF>& lines);

// The head of a list layout: the company's name over the title (a label named
// "title"), across the usable width. Sizes in mm and points.
struct CompanyHead {
    double height = 24; // of the page header band
    double nameHeight = 8, namePt = 14;
    double titleTop = 9, titleHeight = 7, titlePt = 12;
};
// Opens `company` when it is closed; returns the page header for the rest.
Band& companyHead(Layout& r, Dataset* company, const QString& title, const CompanyHead& style = {});

// The preview caption of every report.
inline QString reportTitle() { return QStringLiteral("Velkan打印预览"); }

} // namespace report
} // namespace qm
