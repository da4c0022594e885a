#pragma once
// The masked one-line input dialog used before dangerous commands. Sizes are
// in dialog units of the window's font: a quarter of the average character
// width across, an eighth of the character height down.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

// Password boxes show each typed character as "*", whatever the style's own mask is.
void maskPassword(QLineEdit* box);

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(const QString& caption, const QString& prompt, const QString& value, QWidget* parent = nullptr);

    QLabel* Prompt = nullptr;
    QLineEdit* Edit = nullptr;
    QPushButton* OkButton = nullptr;     // 确定
    QPushButton* CancelButton = nullptr; // 取消

    // Dialog units to pixels.
    int dluX(int units) const;
    int dluY(int units) const;

private:
    void layoutInDialogUnits();
};

}
