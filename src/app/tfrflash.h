#pragma once
// The splash window: a picture with "欢迎使用" for three seconds.
#include <QDialog>

#include <QImage>
#include <QWidget>

class QLabel;
class QTimer;

namespace qm {
// A picture stretched over the whole widget.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    QImage image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage image_;
};
}

class TFrflash : public QDialog {
    Q_OBJECT
public:
    explicit TFrflash(QWidget* parent = nullptr);

    qm::PictureBox* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    // Asks whether to show the splash at later starts; No turns flashbj off.
    void Image1Click();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
};
