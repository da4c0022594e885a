#include "layouts/report.h"
#include "common/clock.h"
#include "common/formats.h"
#include "data/dataset.h"
#include <QStringEncoder>
#include <algorithm>
#include <stdexcept>

namespace qm::report {

namespace {
// A number in a data text's own format; no number, no text.
QString numberText(const QString& format, const QVariant& v)
{
    return v.isNull() || v.toString().isEmpty() ? QString() : formatFloat(format, v.toDouble());
}

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
    // The label's place among its band's elements and among their texts.
    for (const auto& b : bands_) {
        if (!b) continue;
        size_t position = 0, textNo = 0;
        for (const Element& x : b->elements_) {
            if (&x == &e) break;
            ++position;
            if (x.kind_ != Element::Kind::HRule && x.kind_ != Element::Kind::VRule) ++textNo;
        }
        if (position == b->elements_.size()) continue;
        std::vector<uint32_t> at;
        for (const Placed& p : placed_)
            if (p.kind == b->kind_ && p.elements > position) at.push_back(p.firstText + uint32_t(textNo));
        replaceTexts(at, shown);
        return;
    }
}

void Layout::setField(const QString& name, const QString& field, const QString& format)
{
    Element& e = element(name);
    e.field_ = field;
    e.format_ = format;
}

void Layout::clearPages()
{
    // Swapped with empty ones, so that their memory goes back at once.
    std::vector<PageEntry>().swap(pageIndex_);
    std::vector<Placed>().swap(placed_);
    QByteArray().swap(textChars_);
    std::vector<uint32_t>().swap(textEnds_);
    prepared_ = false;
    pagesChanged();
}

void Layout::pagesChanged()
{
    std::vector<Page>().swap(cache_);
    std::vector<Page>().swap(all_);
}

// -------------------------------------------------------------- page model

QByteArrayView Layout::storedText(size_t i) const
{
    const uint32_t from = i ? textEnds_[i - 1] : 0;
    return QByteArrayView(textChars_).sliced(from, textEnds_[i] - from);
}

void Layout::addText(const QString& text)
{
    // As UTF-8: the digits, dates and codes that fill most cells take a byte a character.
    const qsizetype at = textChars_.size();
    textChars_.resize(at + text.size() * 3);
    QStringEncoder utf8(QStringEncoder::Utf8);
    char* end = utf8.appendToBuffer(textChars_.data() + at, text);
    textChars_.resize(end - textChars_.constData());
    textEnds_.push_back(uint32_t(textChars_.size()));
}

// The texts at the given places (in ascending order) replaced by `text`.
void Layout::replaceTexts(const std::vector<uint32_t>& at, const QString& text)
{
    if (at.empty()) return;
    const QByteArray replacement = text.toUtf8();
    QByteArray chars;
    chars.reserve(textChars_.size() + qsizetype(at.size()) * replacement.size());
    std::vector<uint32_t> ends;
    ends.reserve(textEnds_.size());
    size_t next = 0;
    for (size_t i = 0; i < textEnds_.size(); ++i) {
        if (next < at.size() && at[next] == i) {
            chars.append(replacement);
            ++next;
        } else {
            chars.append(storedText(i));
        }
        ends.push_back(uint32_t(chars.size()));
    }
    textChars_.swap(chars);
    textEnds_.swap(ends);
    pagesChanged();
}

void Layout::drawPlaced(Page& page, const Placed& placed) const
{
    const Band& b = *bands_[bandIndex(placed.kind)];
    const double at = placed.top;
    page.bands.push_back({placed.kind, at, placed.height, placed.record});
    size_t text = placed.firstText;
    size_t n = 0;
    for (const Element& e : b.elements_) {
        if (n++ == placed.elements) break;
        const QRectF r = e.rect_.translated(left_, at);
        switch (e.kind_) {
        case Element::Kind::HRule: page.lines.emplace_back(r.left(), r.top(), r.right(), r.top()); break;
        case Element::Kind::VRule: page.lines.emplace_back(r.left(), r.top(), r.left(), r.bottom()); break;
        default: {
            PageText t;
            t.rect = r;
            t.text = QString::fromUtf8(storedText(text++));
            t.element = e.id_;
            t.band = placed.kind;
            t.pointSize = e.pointSize_ > 0 ? e.pointSize_ : pointSize_;
            t.bold = e.bold_;
            t.align = e.align_;
            page.texts.push_back(std::move(t));
            if (e.frame_ & Top) page.lines.emplace_back(r.topLeft(), r.topRight());
            if (e.frame_ & Bottom) page.lines.emplace_back(r.bottomLeft(), r.bottomRight());
            if (e.frame_ & Left) page.lines.emplace_back(r.topLeft(), r.bottomLeft());
            if (e.frame_ & Right) page.lines.emplace_back(r.topRight(), r.bottomRight());
        }
        }
    }
    const double h = placed.height;
    if (b.frame_ & Top) page.lines.emplace_back(left_, at, right_, at);
    if (b.frame_ & Bottom) page.lines.emplace_back(left_, at + h, right_, at + h);
    if (b.frame_ & Left) page.lines.emplace_back(left_, at, left_, at + h);
    if (b.frame_ & Right) page.lines.emplace_back(right_, at, right_, at + h);
}

Page Layout::makePage(int number) const
{
    Page page;
    if (number < 1 || number > pageCount()) return page;
    page.number = number;
    const PageEntry& entry = pageIndex_[size_t(number - 1)];
    for (uint32_t i = entry.first; i < entry.first + entry.count; ++i) drawPlaced(page, placed_[i]);
    if (entry.footer >= 0) drawPlaced(page, placed_[size_t(entry.footer)]);
    return page;
}

const Page& Layout::page(int number)
{
    // A preview shows a page or two at a time, and comes back to those around them.
    constexpr size_t kKept = 8;
    auto it = std::find_if(cache_.begin(), cache_.end(), [number](const Page& p) { return p.number == number; });
    if (it != cache_.end()) {
        std::rotate(it, it + 1, cache_.end());
    } else {
        if (cache_.size() >= kKept) cache_.erase(cache_.begin());
        cache_.push_back(makePage(number));
    }
    return cache_.back();
}

const std::vector<Page>& Layout::pages() const
{
    if (all_.size() != pageIndex_.size()) {
        all_.clear();
        all_.reserve(pageIndex_.size());
        for (int i = 1; i <= pageCount(); ++i) all_.push_back(makePage(i));
    }
    return all_;
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
        clearPages();
        cancelled_ = true;
        return 0;
    }
}

int Layout::prepareAll()
{
    clearPages();
    drawn_ = 0;

    Band* header = band(BandKind::PageHeader);
    Band* colHeader = band(BandKind::ColumnHeader);
    Band* det = band(BandKind::Detail);
    Band* sum = band(BandKind::Summary);
    Band* footer = band(BandKind::PageFooter);

    const double top = paper_.top;
    const double bottom = paper_.length - paper_.bottom;
    left_ = paper_.left;
    right_ = paper_.width - paper_.right;
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

    double y = top;
    bool bodyOnPage = false; // a detail or summary band stands on the current page

    // The band's texts go into the text store; where it stands, into the page.
    auto place = [&](const Band& b, double at, int record, int rowForFields, const std::vector<int>* fieldIndex,
                     int pageNumber) {
        placed_.push_back({at, b.height_, record, uint32_t(textEnds_.size()), uint32_t(b.elements_.size()), b.kind_});
        int i = 0;
        for (const Element& e : b.elements_) {
            const int idx = fieldIndex ? (*fieldIndex)[size_t(i++)] : -1;
            if (e.kind_ == Element::Kind::HRule || e.kind_ == Element::Kind::VRule) continue;
            if (idx < 0) {
                addText(valueText(e, rowForFields, pageNumber));
                continue;
            }
            const bool editing = master_->state() != Dataset::State::Browse && rowForFields == master_->recNo();
            QString v = !e.format_.isEmpty()
                            ? numberText(e.format_, editing ? master_->value(e.field_) : master_->valueAt(rowForFields, idx))
                        : editing ? master_->displayText(e.field_)
                                  : master_->displayText(rowForFields, idx);
            addText(e.pattern_.isEmpty() ? v : QString(e.pattern_).replace(QLatin1String("%1"), v));
        }
    };

    auto startPage = [&]() {
        if (onPage && !onPage(pageCount())) throw PrepareCancelled{};
        pageIndex_.push_back({uint32_t(placed_.size()), 0, -1});
        y = top;
        bodyOnPage = false;
        if (header && (!header->firstOnly_ || pageCount() == 1)) {
            place(*header, y, -1, -1, nullptr, pageCount());
            y += header->height_;
        }
        if (colHeader) {
            place(*colHeader, y, -1, -1, nullptr, pageCount());
            y += colHeader->height_;
        }
        pageIndex_.back().count = uint32_t(placed_.size()) - pageIndex_.back().first;
    };
    auto placeOnPage = [&](const Band& b, double at, int record, int rowForFields, const std::vector<int>* fieldIndex) {
        place(b, at, record, rowForFields, fieldIndex, pageCount());
        ++pageIndex_.back().count;
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
                placeOnPage(*det, y, -1, row, nullptr);
                y += det->height_;
                bodyOnPage = true;
            }
        } else if (walking) {
            const int n = master_->recordCount();
            for (int row = 0; row < n; ++row) {
                makeRoom(det->height_, limit);
                placeOnPage(*det, y, row, row, &detailIndex);
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
        placeOnPage(*sum, y, -1, row, nullptr);
        y += sum->height_;
        bodyOnPage = true;
    }
    if (footer) {
        if (footer->lastOnly_) {
            makeRoom(footer->height_, bottom);
            placeOnPage(*footer, bottom - footer->height_, -1, lastRow, nullptr);
        } else {
            // Placed once the last row is known, after every page's body.
            for (size_t i = 0; i < pageIndex_.size(); ++i) {
                pageIndex_[i].footer = int64_t(placed_.size());
                place(*footer, bottom - footer->height_, -1, lastRow, nullptr, int(i) + 1);
            }
        }
    }
    // The walk leaves the master dataset on its last row.
    if (walking && lastRow >= 0 && master_->state() == Dataset::State::Browse) master_->moveTo(lastRow);
    prepared_ = true;
    return pageCount();
}

void Layout::ensurePrepared()
{
    if (!prepared_) Prepare();
}

} // namespace qm::report
