#include "layouts/report.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/printer.h"
#include "data/dataset.h"
#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QPainter>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <stdexcept>

namespace qm::report {

namespace {
// A number in a data text's own format; no number, no text.
QString numberText(const QString& format, const QVariant& v)
{
    return v.isNull() || v.toString().isEmpty() ? QString() : formatFloat(format, v.toDouble());
}

constexpr double kMmPerInch = 25.4;
constexpr double kRuleWidthMm = 0.2;  // a screen pixel, about
constexpr double kCellPaddingMm = 0.6;
const char* const kDefaultFamily = "WenQuanYi Micro Hei";

int bandIndex(BandKind k) { return int(k); }
}

// ------------------------------------------------------------------ paper

Paper Paper::a4Portrait() { return Paper{}; }

Paper Paper::a4Landscape()
{
    Paper p;
    p.width = 297;
    p.length = 210;
    p.landscape = true;
    return p;
}

Paper Paper::custom(double widthMm, double lengthMm, double marginMm)
{
    Paper p;
    p.width = widthMm;
    p.length = lengthMm;
    p.left = p.top = p.right = p.bottom = marginMm;
    return p;
}

// ---------------------------------------------------------------- element

Element& Element::named(const QString& name) { name_ = name; return *this; }
Element& Element::pt(double pointSize) { pointSize_ = pointSize; return *this; }
Element& Element::bold(bool on) { bold_ = on; return *this; }
Element& Element::align(Align a) { align_ = a; return *this; }
Element& Element::frame(int sides) { frame_ = sides; return *this; }
Element& Element::text(const QString& pattern) { pattern_ = pattern; return *this; }

// ------------------------------------------------------------------- band

Element& Band::add(Element::Kind k, double x, double y, double w, double h)
{
    elements_.emplace_back();
    Element& e = elements_.back();
    e.kind_ = k;
    e.rect_ = QRectF(x, y, w, h);
    e.id_ = owner_->registerElement(&e);
    return e;
}

Element& Element::format(const QString& pattern)
{
    format_ = pattern;
    return *this;
}

Element& Band::label(double x, double y, double w, double h, const QString& text)
{
    Element& e = add(Element::Kind::Label, x, y, w, h);
    e.caption_ = text;
    return e;
}

Element& Band::field(double x, double y, double w, double h, const QString& fieldName)
{
    return field(x, y, w, h, nullptr, fieldName);
}

Element& Band::field(double x, double y, double w, double h, Dataset* ds, const QString& fieldName)
{
    Element& e = add(Element::Kind::Field, x, y, w, h);
    e.dataset_ = ds;
    e.field_ = fieldName;
    return e;
}

Element& Band::system(double x, double y, double w, double h, SystemData what)
{
    Element& e = add(Element::Kind::System, x, y, w, h);
    e.system_ = what;
    return e;
}

Element& Band::hrule(double x, double y, double width) { return add(Element::Kind::HRule, x, y, width, 0); }
Element& Band::vrule(double x, double y, double height) { return add(Element::Kind::VRule, x, y, 0, height); }

// ------------------------------------------------------------- page model

QStringList Page::textList() const
{
    QStringList out;
    out.reserve(int(texts.size()));
    for (const auto& t : texts) out << t.text;
    return out;
}

const PageText* Page::find(const QString& text) const
{
    for (const auto& t : texts)
        if (t.text == text) return &t;
    return nullptr;
}

// ----------------------------------------------------------------- layout

Layout::Layout() : ReportTitle(reportTitle()), family_(QString::fromLatin1(kDefaultFamily)) {}
Layout::~Layout() = default;

void Layout::setFontFamily(const QString& family) { family_ = family; }

int Layout::registerElement(Element* e)
{
    elements_.push_back(e);
    return int(elements_.size()) - 1;
}

Band& Layout::bandSlot(BandKind kind, double height)
{
    auto& slot = bands_[bandIndex(kind)];
    if (!slot) slot.reset(new Band(this, kind));
    if (height >= 0) slot->setHeight(height);
    return *slot;
}

Band& Layout::pageHeader(double h) { return bandSlot(BandKind::PageHeader, h); }
Band& Layout::columnHeader(double h) { return bandSlot(BandKind::ColumnHeader, h); }
Band& Layout::detail(double h) { return bandSlot(BandKind::Detail, h); }
Band& Layout::summary(double h) { return bandSlot(BandKind::Summary, h); }
Band& Layout::pageFooter(double h) { return bandSlot(BandKind::PageFooter, h); }

Band* Layout::band(BandKind kind) const { return bands_[bandIndex(kind)].get(); }

void Layout::addColumns(const std::vector<Column>& columns, double left, double headerHeight, double rowHeight)
{
    Band& head = columnHeader(std::max(columnHeader().height(), headerHeight));
    Band& det = detail(std::max(detail().height(), rowHeight));
    double x = left;
    for (const Column& c : columns) {
        Element& caption = head.label(x, 0, c.width, headerHeight, c.caption).boxed().center().bold();
        if (!c.cellName.isEmpty()) caption.named(c.cellName + QStringLiteral("Caption"));
        if (!c.field.isEmpty()) {
            Element& cell = det.field(x, 0, c.width, rowHeight, c.field).frame(c.cellFrame).align(c.align);
            if (!c.cellName.isEmpty()) cell.named(c.cellName);
        } else {
            Element& cell = det.label(x, 0, c.width, rowHeight, QString()).frame(c.cellFrame).align(c.align);
            if (!c.cellName.isEmpty()) cell.named(c.cellName);
        }
        x += c.width;
    }
}

Band& companyHead(Layout& r, Dataset* company, const QString& title, const CompanyHead& style)
{
    if (!company->active()) company->open();
    const double width = r.paper().usableWidth();
    Band& head = r.pageHeader(style.height);
    head.field(0, 0, width, style.nameHeight, company, QStringLiteral("name")).pt(style.namePt).bold().center();
    head.label(0, style.titleTop, width, style.titleHeight, title).named(QStringLiteral("title")).pt(style.titlePt).center();
    return head;
}

Element* Layout::find(const QString& name) const
{
    for (Element* e : elements_)
        if (e->name_ == name) return e;
    return nullptr;
}

Element& Layout::element(const QString& name) const
{
    Element* e = find(name);
    if (!e) throw std::out_of_range("report element not found: " + name.toStdString());
    return *e;
}

void Layout::setCaption(const QString& name, const QString& text)
{
    Element& e = element(name);
    e.caption_ = text;
    // Labels sit at fixed places, so pages already prepared take the new text
    // without laying them out again (the page count label of the documents).
    if (e.kind_ != Element::Kind::Label || !prepared_) return; // not while laying out (need-data handlers)
    const QString shown = e.pattern_.isEmpty() ? text : QString(e.pattern_).replace(QLatin1String("%1"), text);
    for (Page& p : pages_)
        for (PageText& t : p.texts)
            if (t.element == e.id_) t.text = shown;
}

void Layout::setField(const QString& name, const QString& field, const QString& format)
{
    Element& e = element(name);
    e.field_ = field;
    e.format_ = format;
}

void Layout::clearPages()
{
    pages_.clear();
    pages_.shrink_to_fit();
    prepared_ = false;
}

// ------------------------------------------------------------ laying out

QString Layout::valueText(const Element& e, int masterRow, int pageNumber) const
{
    QString v;
    switch (e.kind_) {
    case Element::Kind::Label:
        v = e.caption_;
        break;
    case Element::Kind::System:
        switch (e.system_) {
        case SystemData::PageNumber: v = QString::number(pageNumber); break;
        case SystemData::PrintDate: v = formatDate(Clock::today()); break;
        case SystemData::PrintTime: v = Clock::now().time().toString(QStringLiteral("HH:mm:ss")); break;
        }
        break;
    case Element::Kind::Field: {
        Dataset* ds = e.dataset_ ? e.dataset_ : master_;
        if (!ds || !ds->active() || ds->isEmpty()) break;
        const bool editing = ds->state() == Dataset::State::Edit || ds->state() == Dataset::State::Insert;
        if (e.dataset_ || masterRow < 0 || (editing && masterRow == ds->recNo())) {
            v = e.format_.isEmpty() ? ds->displayText(e.field_) // the current row (or its edit buffer)
                                    : numberText(e.format_, ds->value(e.field_));
        } else {
            const int idx = ds->fieldByName(e.field_)->index;
            v = e.format_.isEmpty() ? ds->displayText(masterRow, idx) : numberText(e.format_, ds->valueAt(masterRow, idx));
        }
        break;
    }
    default:
        return QString();
    }
    if (!e.pattern_.isEmpty()) return QString(e.pattern_).replace(QLatin1String("%1"), v);
    return v;
}

namespace {
struct PrepareCancelled {};
}

int Layout::Prepare()
{
    cancelled_ = false;
    try {
        return prepareAll();
    } catch (const PrepareCancelled&) {
        pages_.clear();
        prepared_ = false;
        cancelled_ = true;
        return 0;
    }
}

int Layout::prepareAll()
{
    pages_.clear();
    prepared_ = false;

    Band* header = band(BandKind::PageHeader);
    Band* colHeader = band(BandKind::ColumnHeader);
    Band* det = band(BandKind::Detail);
    Band* sum = band(BandKind::Summary);
    Band* footer = band(BandKind::PageFooter);

    const double top = paper_.top;
    const double bottom = paper_.length - paper_.bottom;
    const double left = paper_.left;
    const double right = paper_.width - paper_.right;
    // A footer on every page keeps its room free on every page.
    const double limit = bottom - ((footer && !footer->lastOnly_) ? footer->height_ : 0);

    // Field indexes of the master dataset's texts in the detail band, looked up once.
    std::vector<int> detailIndex;
    const bool walking = !needData && master_ && master_->active();
    if (det && walking) {
        detailIndex.reserve(det->elements_.size());
        for (const Element& e : det->elements_)
            detailIndex.push_back(e.kind_ == Element::Kind::Field && !e.dataset_ ? master_->fieldByName(e.field_)->index
                                                                                 : -1);
    }

    Page* page = nullptr;
    double y = top;
    bool bodyOnPage = false; // a detail or summary band stands on the current page

    auto place = [&](const Band& b, double at, int record, int rowForFields, const std::vector<int>* fieldIndex) {
        page->bands.push_back({b.kind_, at, b.height_, record});
        int i = 0;
        for (const Element& e : b.elements_) {
            const QRectF r = e.rect_.translated(left, at);
            switch (e.kind_) {
            case Element::Kind::HRule: page->lines.emplace_back(r.left(), r.top(), r.right(), r.top()); break;
            case Element::Kind::VRule: page->lines.emplace_back(r.left(), r.top(), r.left(), r.bottom()); break;
            default: {
                PageText t;
                t.rect = r;
                int idx = fieldIndex ? (*fieldIndex)[size_t(i)] : -1;
                if (idx >= 0) {
                    const bool editing = master_->state() != Dataset::State::Browse && rowForFields == master_->recNo();
                    QString v = !e.format_.isEmpty()
                                    ? numberText(e.format_, editing ? master_->value(e.field_) : master_->valueAt(rowForFields, idx))
                                : editing ? master_->displayText(e.field_)
                                          : master_->displayText(rowForFields, idx);
                    t.text = e.pattern_.isEmpty() ? v : QString(e.pattern_).replace(QLatin1String("%1"), v);
                } else {
                    t.text = valueText(e, rowForFields, page->number);
                }
                t.element = e.id_;
                t.band = b.kind_;
                t.pointSize = e.pointSize_ > 0 ? e.pointSize_ : pointSize_;
                t.bold = e.bold_;
                t.align = e.align_;
                page->texts.push_back(std::move(t));
                if (e.frame_ & Top) page->lines.emplace_back(r.topLeft(), r.topRight());
                if (e.frame_ & Bottom) page->lines.emplace_back(r.bottomLeft(), r.bottomRight());
                if (e.frame_ & Left) page->lines.emplace_back(r.topLeft(), r.bottomLeft());
                if (e.frame_ & Right) page->lines.emplace_back(r.topRight(), r.bottomRight());
            }
            }
            ++i;
        }
        if (b.frame_ & Top) page->lines.emplace_back(left, at, right, at);
        if (b.frame_ & Bottom) page->lines.emplace_back(left, at + b.height_, right, at + b.height_);
        if (b.frame_ & Left) page->lines.emplace_back(left, at, left, at + b.height_);
        if (b.frame_ & Right) page->lines.emplace_back(right, at, right, at + b.height_);
    };

    auto startPage = [&]() {
        if (onPage && !onPage(int(pages_.size()))) throw PrepareCancelled{};
        pages_.emplace_back();
        page = &pages_.back();
        page->number = int(pages_.size());
        y = top;
        bodyOnPage = false;
        if (header && (!header->firstOnly_ || page->number == 1)) {
            place(*header, y, -1, -1, nullptr);
            y += header->height_;
        }
        if (colHeader) {
            place(*colHeader, y, -1, -1, nullptr);
            y += colHeader->height_;
        }
    };

    // A band that does not fit goes to a new page; one taller than a whole page
    // is placed anyway (and cut at the sheet's edge) rather than looping.
    auto makeRoom = [&](double h, double lim) {
        if (y + h > lim + 1e-6 && bodyOnPage) startPage();
    };

    startPage();
    int lastRow = -1;
    if (det) {
        if (needData) {
            while (needData()) {
                makeRoom(det->height_, limit);
                const int row = master_ && master_->active() ? master_->recNo() : -1;
                place(*det, y, -1, row, nullptr);
                y += det->height_;
                bodyOnPage = true;
            }
        } else if (walking) {
            const int n = master_->recordCount();
            for (int row = 0; row < n; ++row) {
                makeRoom(det->height_, limit);
                place(*det, y, row, row, &detailIndex);
                y += det->height_;
                bodyOnPage = true;
            }
            lastRow = n - 1;
        }
    }
    if (!needData && master_ && master_->active()) lastRow = master_->recordCount() - 1;
    if (sum) {
        makeRoom(sum->height_, limit);
        const int row = needData ? (master_ && master_->active() ? master_->recNo() : -1) : lastRow;
        place(*sum, y, -1, row, nullptr);
        y += sum->height_;
        bodyOnPage = true;
    }
    if (footer) {
        if (footer->lastOnly_) {
            makeRoom(footer->height_, bottom);
            Page* last = &pages_.back();
            page = last;
            place(*footer, bottom - footer->height_, -1, lastRow, nullptr);
        } else {
            for (Page& p : pages_) {
                page = &p;
                place(*footer, bottom - footer->height_, -1, lastRow, nullptr);
            }
        }
    }
    // The walk leaves the master dataset on its last row.
    if (walking && lastRow >= 0 && master_->state() == Dataset::State::Browse) master_->moveTo(lastRow);
    prepared_ = true;
    return int(pages_.size());
}

void Layout::ensurePrepared()
{
    if (!prepared_) Prepare();
}

// -------------------------------------------------------------- painting

void Layout::configurePrinter(QPrinter& printer) const
{
    const bool wide = paper_.width > paper_.length;
    QPageSize size(QSizeF(std::min(paper_.width, paper_.length), std::max(paper_.width, paper_.length)),
                   QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    if (std::abs(paper_.width - 210) < 0.5 && std::abs(paper_.length - 297) < 0.5) size = QPageSize(QPageSize::A4);
    if (std::abs(paper_.width - 297) < 0.5 && std::abs(paper_.length - 210) < 0.5) size = QPageSize(QPageSize::A4);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(size, wide ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    printer.setDocName(ReportTitle);
}

std::vector<QLineF> joinRules(const std::vector<QLineF>& lines)
{
    // Pieces of one line share a position across it (in thousandths of a mm).
    struct Piece { bool vertical; qint64 at; double from, to; };
    std::vector<Piece> pieces;
    std::vector<QLineF> out;
    pieces.reserve(lines.size());
    for (const QLineF& l : lines) {
        if (std::abs(l.y1() - l.y2()) < 1e-6)
            pieces.push_back({false, std::llround(l.y1() * 1000), std::min(l.x1(), l.x2()), std::max(l.x1(), l.x2())});
        else if (std::abs(l.x1() - l.x2()) < 1e-6)
            pieces.push_back({true, std::llround(l.x1() * 1000), std::min(l.y1(), l.y2()), std::max(l.y1(), l.y2())});
        else
            out.push_back(l);
    }
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return std::tie(a.vertical, a.at, a.from) < std::tie(b.vertical, b.at, b.from);
    });
    auto add = [&](const Piece& p) {
        const double at = p.at / 1000.0;
        out.push_back(p.vertical ? QLineF(at, p.from, at, p.to) : QLineF(p.from, at, p.to, at));
    };
    for (size_t i = 0; i < pieces.size();) {
        Piece run = pieces[i++];
        while (i < pieces.size() && pieces[i].vertical == run.vertical && pieces[i].at == run.at
               && pieces[i].from <= run.to + 1e-3)
            run.to = std::max(run.to, pieces[i++].to);
        add(run);
    }
    return out;
}

void Layout::paintPage(QPainter& p, const Page& page, double dpiX, double dpiY) const
{
    const double sx = dpiX / kMmPerInch, sy = dpiY / kMmPerInch;
    auto dev = [&](const QRectF& r) { return QRectF(r.x() * sx, r.y() * sy, r.width() * sx, r.height() * sy); };

    QPen pen(Qt::black);
    pen.setWidthF(std::max(1.0, kRuleWidthMm * sx));
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    for (const QLineF& l : joinRules(page.lines))
        p.drawLine(QLineF(l.x1() * sx, l.y1() * sy, l.x2() * sx, l.y2() * sy));

    // Texts that fit their cell and whose font has every glyph are set as one
    // glyph run per font and page: far cheaper for a PDF than a text item per
    // cell. Others are drawn as text, with fallback fonts.
    struct Face {
        QFont font;
        QRawFont raw;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    std::map<std::pair<int, bool>, Face> faces;
    const QStringList families{family_, QString::fromLatin1(kDefaultFamily), QStringLiteral("Noto Sans CJK SC")};
    const double pad = kCellPaddingMm * sx;
    for (const PageText& t : page.texts) {
        if (t.text.isEmpty()) continue;
        const int px = std::max(1, int(t.pointSize * dpiY / 72.0 + 0.5));
        auto key = std::make_pair(px, t.bold);
        auto it = faces.find(key);
        if (it == faces.end()) {
            Face f;
            f.font.setFamilies(families);
            f.font.setPixelSize(px);
            f.font.setBold(t.bold);
            f.raw = QRawFont::fromFont(f.font);
            it = faces.emplace(key, std::move(f)).first;
        }
        Face& face = it->second;
        const QRectF r = dev(t.rect).adjusted(pad, 0, -pad, 0);
        if (face.raw.isValid()) {
            const QList<quint32> glyphs = face.raw.glyphIndexesForString(t.text);
            if (!glyphs.contains(0u)) {
                const QList<QPointF> advances = face.raw.advancesForGlyphIndexes(glyphs);
                double width = 0;
                for (const QPointF& a : advances) width += a.x();
                if (width <= r.width() + 0.5) {
                    double x = t.align == Align::Center ? r.left() + (r.width() - width) / 2
                               : t.align == Align::Right ? r.right() - width
                                                         : r.left();
                    const double baseline =
                        r.top() + (r.height() - face.raw.ascent() - face.raw.descent()) / 2 + face.raw.ascent();
                    for (qsizetype g = 0; g < glyphs.size(); ++g) {
                        face.glyphs.append(glyphs[g]);
                        face.positions.append(QPointF(x, baseline));
                        x += advances[g].x();
                    }
                    continue;
                }
            }
        }
        p.setFont(face.font);
        int flags = Qt::AlignVCenter | Qt::TextSingleLine;
        flags |= t.align == Align::Center ? Qt::AlignHCenter : t.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft;
        // Text stays inside its cell: a longer one ends in an ellipsis after
        // its last whole character that fits.
        const QFontMetricsF metrics(face.font);
        const bool wide = metrics.horizontalAdvance(t.text) > r.width() + 0.5;
        p.drawText(r, flags, wide ? metrics.elidedText(t.text, Qt::ElideRight, r.width()) : t.text);
    }
    for (auto& [key, face] : faces) {
        if (face.glyphs.isEmpty()) continue;
        QGlyphRun run;
        run.setRawFont(face.raw);
        run.setGlyphIndexes(face.glyphs);
        run.setPositions(face.positions);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
}

bool Layout::paint(QPagedPaintDevice& device, int fromPage, int toPage)
{
    ensurePrepared();
    const int n = int(pages_.size());
    int first = fromPage > 0 ? fromPage : 1;
    int last = toPage > 0 ? std::min(toPage, n) : n;
    QPainter p;
    if (!p.begin(&device)) return false;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const double dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
    for (int i = first; i <= last; ++i) {
        if (i > first) device.newPage();
        paintPage(p, pages_[size_t(i - 1)], dpiX, dpiY);
    }
    return p.end();
}

void Layout::print(QPrinter& printer)
{
    configurePrinter(printer);
    paint(printer, printer.fromPage(), printer.toPage());
    clearPages();
}

bool Layout::writePdf(const QString& path)
{
    ensurePrepared();
    {
        QFile probe(path); // QPdfWriter says nothing when the file cannot be written
        if (!probe.open(QIODevice::WriteOnly)) return false;
    }
    QPdfWriter writer(path);
    const bool wide = paper_.width > paper_.length;
    QPageSize size(QSizeF(std::min(paper_.width, paper_.length), std::max(paper_.width, paper_.length)),
                   QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    writer.setPageLayout(QPageLayout(size, wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(ReportTitle);
    writer.setCreator(QStringLiteral("quillmart"));
    const bool ok = paint(writer);
    clearPages();
    return ok;
}

void Layout::Preview()
{
    QPrinter& printer = sharedPrinter();
    configurePrinter(printer);
    ensurePrepared();
    if (cancelled_) return;
    QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("reportPreview"));
    dialog.setWindowTitle(ReportTitle);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this](QPrinter* pr) { paint(*pr, pr->fromPage(), pr->toPage()); });
    if (fitWidth_) {
        dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
        if (auto* w = dialog.findChild<QPrintPreviewWidget*>()) w->fitToWidth();
    } else {
        dialog.resize(900, 700);
    }
    dlg::exec(&dialog);
    clearPages();
}

} // namespace qm::report
