#include "app/navigator.h"
#include "common/assets.h"
#include "common/jpeg.h"
#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSplitter>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

namespace {
QPixmap picture(const QString& file)
{
    QString path = assetFile(file);
    if (path.isEmpty()) return QPixmap();
    return QPixmap::fromImage(loadJpeg(path));
}

QLabel* pictureLabel(const QString& file, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setAlignment(Qt::AlignCenter);
    l->setFixedSize(76, 76);
    l->setPixmap(picture(file));
    return l;
}

// The pictures are drawn on this colour, so they sit on the panel seamlessly.
const QColor kPanelColour(238, 243, 250);
}

// ------------------------------------------------------------ NavPicture

NavPicture::NavPicture(const QString& captionText, const QString& file, const QString& command, QWidget* parent)
    : QWidget(parent), command_(command)
{
    setObjectName(QStringLiteral("pic_") + captionText);
    auto* holder = new QWidget(this);
    holder->setFixedSize(76, 76);
    stack_ = new QStackedLayout(holder);
    stack_->setStackingMode(QStackedLayout::StackOne);
    plain = pictureLabel(file + QStringLiteral(".jpg"), holder);
    hot = pictureLabel(file + QStringLiteral("_hot.jpg"), holder);
    stack_->addWidget(plain);
    stack_->addWidget(hot);
    stack_->setCurrentWidget(plain);
    if (!command.isEmpty()) {
        hot->setCursor(Qt::PointingHandCursor);
        hot->setToolTip(captionText);
    }
    plain->installEventFilter(this);
    hot->installEventFilter(this);

    caption = new QLabel(captionText, this);
    caption->setAlignment(Qt::AlignCenter);
    QFont f = caption->font();
    f.setBold(true);
    caption->setFont(f);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(4, 4, 4, 4);
    lay->setSpacing(4);
    lay->addWidget(holder, 0, Qt::AlignHCenter);
    lay->addWidget(caption);
    if (captionText.isEmpty()) caption->hide();
}

bool NavPicture::highlighted() const { return stack_->currentWidget() == hot; }

void NavPicture::setHighlighted(bool on) { stack_->setCurrentWidget(on ? hot : plain); }

bool NavPicture::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == plain && (e->type() == QEvent::Enter || e->type() == QEvent::MouseMove)) {
        if (auto* g = qobject_cast<NavGroup*>(parentWidget())) g->resetHover();
        setHighlighted(true);
    } else if (watched == hot && e->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton && !command_.isEmpty()) emit clicked(command_);
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

// ------------------------------------------------------------ NavText

NavText::NavText(const QString& text, const QString& command, QWidget* parent) : QLabel(text, parent), command_(command)
{
    setWordWrap(true);
    if (isClickable()) setCursor(Qt::PointingHandCursor);
    setHot(false);
}

void NavText::setHot(bool on)
{
    hot_ = on && isClickable();
    QPalette p = palette();
    // At rest in the window text colour of the desktop's palette.
    p.setColor(QPalette::WindowText, hot_ ? QColor(Qt::red) : QApplication::palette(this).color(QPalette::WindowText));
    setPalette(p);
}

void NavText::enterEvent(QEnterEvent* e)
{
    QLabel::enterEvent(e);
    if (isClickable()) setHot(true);
}

void NavText::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && isClickable()) emit clicked(command_);
}

// ------------------------------------------------------------ NavGroup

NavGroup::NavGroup(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption)
{
    setMouseTracking(true);
    setAutoFillBackground(false);
}

void NavGroup::resetHover()
{
    for (NavPicture* p : pictures) p->setHighlighted(false);
    for (NavText* t : texts) t->setHot(false);
}

void NavGroup::mouseMoveEvent(QMouseEvent* e)
{
    // Moves over a picture or a text reach here too; only the bare panel resets.
    if (!childAt(e->position().toPoint())) resetHover();
    QWidget::mouseMoveEvent(e);
}

void NavGroup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r = QRectF(rect()).adjusted(6, 6, -6, -6);
    p.setPen(QPen(QColor(150, 175, 205), 1));
    p.setBrush(kPanelColour);
    p.drawRoundedRect(r, 8, 8);
    QRectF head(r.left(), r.top(), r.width(), 34);
    QLinearGradient g(head.topLeft(), head.bottomLeft());
    g.setColorAt(0, QColor(92, 140, 200));
    g.setColorAt(1, QColor(54, 98, 160));
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(head, 8, 8);
    path.addRect(head.adjusted(0, 16, 0, 0));
    p.setPen(Qt::NoPen);
    p.fillPath(path, g);
    QFont f = font();
    f.setPointSize(f.pointSize() + 2);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(head, Qt::AlignCenter, caption_);
}

// ------------------------------------------------------------ Navigator

Navigator::Navigator(Runner run, QWidget* parent) : QWidget(parent), run_(std::move(run))
{
    setObjectName(QStringLiteral("navigator"));

    strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("strip"));
    strip->setAutoFillBackground(true);
    QPalette sp = strip->palette();
    sp.setColor(QPalette::Window, QColor(214, 226, 240));
    strip->setPalette(sp);
    auto* stripLay = new QVBoxLayout(strip);
    stripLay->setContentsMargins(4, 8, 4, 8);
    stripLay->setSpacing(6);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setChildrenCollapsible(false);

    area = new QWidget(splitter);
    area->setObjectName(QStringLiteral("area"));
    area->setAutoFillBackground(true);
    QPalette ap = area->palette();
    ap.setColor(QPalette::Window, QColor(232, 239, 247));
    area->setPalette(ap);
    area->setMinimumWidth(360);
    auto* areaLay = new QVBoxLayout(area);
    areaLay->setContentsMargins(0, 0, 0, 0);
    areaLay->setSpacing(0);

    banner = new QLabel(QStringLiteral("Velkan超市管理→适合小商场、小百货、自选商场，前台收银，后台管理......"), area);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setWordWrap(true);
    banner->setMargin(8);
    banner->setStyleSheet(QStringLiteral("QLabel#banner { color: #7a2a00; font-weight: bold;"
                                         " background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #ffe9b8, stop:1 #fff7e2);"
                                         " border-bottom: 1px solid #d8b46a; }"));
    areaLay->addWidget(banner);

    Image1 = new QLabel(splitter);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setMinimumSize(50, 50);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image1->setToolTip(QStringLiteral("右击设置背景图片"));
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    Image1->installEventFilter(this);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit backgroundMenuRequested(Image1->mapToGlobal(pos)); });
    splitter->addWidget(area);
    splitter->addWidget(Image1);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({560, 640});

    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(strip);
    lay->addWidget(splitter, 1);

    auto runner = [this](const QString& item) {
        if (run_) run_(item);
    };
    struct Pic { const char* caption; const char* file; const char* command; };
    auto fill = [&](NavGroup* g, std::initializer_list<Pic> pics, std::initializer_list<std::pair<const char*, const char*>> texts) {
        auto* gl = new QVBoxLayout(g);
        gl->setContentsMargins(18, 48, 18, 18);
        gl->setSpacing(10);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(18);
        grid->setVerticalSpacing(8);
        int i = 0;
        for (const Pic& p : pics) {
            auto* np = new NavPicture(QString::fromUtf8(p.caption), QString::fromLatin1(p.file), QString::fromLatin1(p.command), g);
            connect(np, &NavPicture::clicked, this, runner);
            g->pictures << np;
            grid->addWidget(np, i / 2, i % 2, Qt::AlignCenter);
            ++i;
        }
        gl->addLayout(grid);
        gl->addSpacing(6);
        for (const auto& t : texts) {
            auto* nt = new NavText(QString::fromUtf8(t.first), QString::fromLatin1(t.second), g);
            connect(nt, &NavText::clicked, this, runner);
            g->texts << nt;
            gl->addWidget(nt);
        }
        gl->addStretch(1);
    };

    fill(addGroup(QStringLiteral("基本资料"), QStringLiteral("tab_base.jpg")),
         {{"供应商资料", "nav_branch", "N79"}, {"员工资料", "nav_employee", "N80"},
          {"商品资料", "nav_product", "N14"}, {"会员资料", "nav_customer", "N16"}},
         {{"◎供应商资料-提供供应商资料录入、查询", ""}, {"◎商品资料-提供商品资料的录入和查询", ""},
          {"◎客户资料-提供会员资料的录入、查询", ""}, {"◎员工资料-提供员工档案资料管理", ""}});
    fill(addGroup(QStringLiteral("进货管理"), QStringLiteral("tab_in.jpg")),
         {{"进货单", "nav_in", "N75"}, {"付款单", "nav_put", "N95"}, {"进货退货单", "nav_inback", "N76"}, {"", "nav_stock", ""}},
         {{"№进货汇总-按供应商或商品的进货单进行汇总", "N89"}, {"№付款汇总-对供应商的付款进行汇总", "N96"},
          {"№进货退货-对退货商品单进行汇总", "N90"}, {"№供应商汇总-对供应商进货、退货、付款进行汇总", "N84"}});
    fill(addGroup(QStringLiteral("销售管理"), QStringLiteral("tab_out.jpg")),
         {{"销售单", "nav_out", "N39"}, {"销售退货单", "nav_outback", "N40"}, {"收款单", "nav_get", "N56"}, {"", "nav_cash", ""}},
         {{"☆销售汇总表-可按操作员对销售单进行汇总", "N60"}, {"☆销售日报表-对当日销售单进行汇总", "N60"},
          {"☆商品销售汇总表-可按某商品汇总销售量", "N72"}});
    fill(addGroup(QStringLiteral("系统管理"), QStringLiteral("tab_sys.jpg")),
         {{"系统选项", "nav_config", "N22"}, {"操作员管理", "nav_operator", "N1"}, {"使用说明", "nav_help", "N48"}},
         {{"☆系统设置-设置数据格式及预先设定有关基础数据", ""}, {"☆操作员权限-修改操作员资料及口令", ""},
          {"☆帮助使用-提供本软件的使用说明", ""}});
    stripLay->addStretch(1);

    showGroup(0);
}

NavGroup* Navigator::addGroup(const QString& caption, const QString& tabPicture)
{
    const int index = int(groups.size());
    auto* g = new NavGroup(caption, area);
    g->setObjectName(QStringLiteral("PAN%1").arg(index + 1));
    area->layout()->addWidget(g);
    groups << g;

    auto* tab = new QToolButton(strip);
    tab->setObjectName(QStringLiteral("PC%1").arg(index + 1));
    tab->setText(caption);
    tab->setIcon(picture(tabPicture));
    tab->setIconSize(QSize(48, 48));
    tab->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tab->setCheckable(true);
    tab->setMinimumWidth(72);
    connect(tab, &QToolButton::clicked, this, [this, index] { showGroup(index); });
    tabs << tab;
    static_cast<QVBoxLayout*>(strip->layout())->addWidget(tab);
    return g;
}

void Navigator::showGroup(int index)
{
    if (index < 0 || index >= groups.size()) return;
    current_ = index;
    for (int i = 0; i < groups.size(); ++i) {
        groups[i]->setVisible(i == index);
        // The chosen tab stands out; the others lie flat.
        tabs[i]->setAutoRaise(i != index);
        tabs[i]->setChecked(i == index);
    }
    groups[index]->resetHover();
}

void Navigator::setNavigatorShown(bool shown)
{
    strip->setVisible(shown);
    area->setVisible(shown);
    // The splitter's handle goes with the area; the background takes the room.
    if (shown) showGroup(current_ < 0 ? 0 : current_);
}

bool Navigator::navigatorShown() const { return !strip->isHidden() && !area->isHidden(); }

void Navigator::setBackground(const QImage& image)
{
    background_ = image;
    fitBackground();
}

void Navigator::fitBackground()
{
    if (background_.isNull() || Image1->width() <= 0 || Image1->height() <= 0) {
        Image1->setPixmap(QPixmap());
        return;
    }
    // Fills the place without distortion; what overflows is cut off evenly.
    const QSize target = Image1->size();
    QImage scaled = background_.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect middle((scaled.width() - target.width()) / 2, (scaled.height() - target.height()) / 2, target.width(),
                       target.height());
    Image1->setPixmap(QPixmap::fromImage(scaled.copy(middle)));
}

bool Navigator::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Image1 && e->type() == QEvent::Resize) fitBackground();
    return QWidget::eventFilter(watched, e);
}

}
