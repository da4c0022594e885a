#pragma once
// The main window's working area: a left strip of four picture tabs choosing
// one of four navigator groups, the group panel under a banner, a splitter,
// and the background picture that fills the rest.
#include <QImage>
#include <QLabel>
#include <QList>
#include <QWidget>
#include <functional>

class QSplitter;
class QStackedLayout;
class QToolButton;

namespace qm {

// One navigator picture: a plain tab and a highlighted tab carrying the
// command. The mouse over the plain tab brings the highlighted one forward.
class NavPicture : public QWidget {
    Q_OBJECT
public:
    NavPicture(const QString& caption, const QString& picture, const QString& command, QWidget* parent);
    bool highlighted() const;
    void setHighlighted(bool on);
    QString command() const { return command_; }
    QLabel* plain = nullptr;
    QLabel* hot = nullptr;
    QLabel* caption = nullptr;
signals:
    void clicked(const QString& command);
protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
private:
    QStackedLayout* stack_ = nullptr;
    QString command_;
};

// A navigator text; a clickable one runs its command and turns red under the mouse.
class NavText : public QLabel {
    Q_OBJECT
public:
    NavText(const QString& text, const QString& command, QWidget* parent);
    QString command() const { return command_; }
    bool isClickable() const { return !command_.isEmpty(); }
    bool isHot() const { return hot_; }
    void setHot(bool on);
signals:
    void clicked(const QString& command);
protected:
    void enterEvent(QEnterEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
private:
    QString command_;
    bool hot_ = false;
};

// One group panel: its caption, pictures and texts. Moving the mouse over the
// panel itself brings every plain picture back and every text to its colour.
class NavGroup : public QWidget {
    Q_OBJECT
public:
    NavGroup(const QString& caption, QWidget* parent);
    QString caption() const { return caption_; }
    QList<NavPicture*> pictures;
    QList<NavText*> texts;
    void resetHover();
protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
private:
    QString caption_;
};

class Navigator : public QWidget {
    Q_OBJECT
public:
    using Runner = std::function<void(const QString& item)>;
    Navigator(Runner run, QWidget* parent);

    QWidget* strip = nullptr;     // the four picture tabs
    QWidget* area = nullptr;      // banner and group panels
    QSplitter* splitter = nullptr;
    QLabel* banner = nullptr;
    QLabel* Image1 = nullptr;     // the background picture
    QList<QToolButton*> tabs;
    QList<NavGroup*> groups;

    int currentGroup() const { return current_; }
    void showGroup(int index);
    // The strip, the splitter and the area together; hidden leaves the background.
    void setNavigatorShown(bool shown);
    bool navigatorShown() const;
    void setBackground(const QImage& image);
    QImage background() const { return background_; }

signals:
    void backgroundMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    NavGroup* addGroup(const QString& caption, const QString& tabPicture);
    void fitBackground();
    Runner run_;
    QImage background_;
    int current_ = -1;
};

}
