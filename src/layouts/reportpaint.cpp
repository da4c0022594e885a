// Painting the pages: onto the printer, into a PDF file, one page at a time
// into the preview.
#include "layouts/report.h"
#include "common/dialogs.h"
#include "common/printer.h"
#include "layouts/reportpreview.h"
#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace qm::report {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr double kRuleWidthMm = 0.2;  // a screen pixel, about
constexpr double kCellPaddingMm = 0.6;
}

namespace {
// The sheet of the paper without margins; an A4 sheet as the printer's own A4 when `named`.
QPageLayout sheet(const Paper& paper, bool named)
{
    const bool wide = paper.width > paper.length;
    QPageSize size(QSizeF(std::min(paper.width, paper.length), std::max(paper.width, paper.length)), QPageSize::Millimeter,
                   QString(), QPageSize::ExactMatch);
    if (named && std::abs(std::min(paper.width, paper.length) - 210) < 0.5 && std::abs(std::max(paper.width, paper.length) - 297) < 0.5)
        size = QPageSize(QPageSize::A4);
    return QPageLayout(size, wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}
}

void Layout::configurePrinter(QPrinter& printer) const
{
    printer.setFullPage(true);
    printer.setPageLayout(sheet(paper_, true));
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
    ++drawn_;
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
    const int n = pageCount();
    int first = fromPage > 0 ? fromPage : 1;
    int last = toPage > 0 ? std::min(toPage, n) : n;
    QPainter p;
    if (!p.begin(&device)) return false;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const double dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
    // Each page is drawn from the page model as it is printed, and forgotten.
    for (int i = first; i <= last; ++i) {
        if (i > first) device.newPage();
        paintPage(p, makePage(i), dpiX, dpiY);
    }
    return p.end();
}

void Layout::drawPage(QPainter& p, int number, double dpi)
{
    paintPage(p, page(number), dpi, dpi);
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
    writer.setPageLayout(sheet(paper_, false));
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
    {
        PreviewDialog dialog(*this, printer, QApplication::activeWindow());
        if (fitWidth_) {
            dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
            dialog.fitToWidth();
        } else {
            dialog.resize(900, 700);
        }
        dlg::exec(&dialog);
    }
    clearPages();
}

} // namespace qm::report
