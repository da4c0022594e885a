// Pictures of the sale's windows for looking at them: the entry window with a
// few rows, the cash tender, the ticket (PDF) and output.txt drawn in a fixed
// font, written into the folder given.
//   shots_sale <folder>
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "documents/sale.h"
#include "documents/salereceipt.h"
#include "documents/salewindows.h"
#include "documents/tfrcash.h"
#include "layouts/tfrroutdetail_s.h"
#include "shell/commands.h"
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir dir;
    qm::AppPaths::setProgramFolder(dir.path());
    QDir().mkpath(dir.path() + "/works");
    QDir().mkpath(dir.path() + "/bak");
    qm::createInitialDatabase(qm::AppPaths::workingDatabase());
    auto scripted = std::make_unique<qm::ScriptedDialogs>();
    // The ticket preview, as the operator sees it, is photographed instead of waited on.
    scripted->onExec = [&out, &app](QDialog* d) {
        d->resize(520, 760);
        d->show();
        for (int i = 0; i < 5; ++i) app.processEvents();
        d->grab().save(out + "/ticket-preview.png");
        return int(QDialog::Rejected);
    };
    qm::dlg::setBackend(std::move(scripted));
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frdm->connectTo(qm::AppPaths::workingDatabase());
    frmain->operatorCode = "999";
    auto& c = frdm->ADOCon;
    c.exec("UPDATE company SET name='好又多便民超市'");
    c.exec("UPDATE totallist SET amount=1234.5");
    c.exec("INSERT INTO product(intno, sphh, name, spmc, spbzxh, spmz, hydj, dj_w, sl, sl_j, spgg) VALUES"
           "('00000001', '1001', '6901234567892', '可口可乐', '瓶', 3.5, 3.2, 2.1, 100, 1, 'KKKL'),"
           "('00000002', '1002', '6901234567893', '康师傅红烧牛肉面五连包', '包', 12.5, 11, 8, 10, 1, 'KSF'),"
           "('00000003', '1003', '', 'A4复印纸70克500张', '包', 23, 21.5, 15, 50, 1, 'FYZ')");

    qm::runCommand("N29");
    auto* w = frmain->findChild<qm::doc::SaleEntryWindow*>();
    for (const char* code : {"1001", "1002", "1003"}) {
        w->box("Edit12")->setText(code);
        w->Edit12Enter();
        if (QString(code) != "1003") w->ToolButton1Click();
    }
    frdm->AQoutdetail->first();
    frdm->AQoutdetail->setValue("sl", 2.0);
    frdm->AQoutdetail->post();
    w->ToolButton3Click();
    w->resize(960, 560);
    app.processEvents();
    w->grab().save(out + "/sale-entry.png");

    w->ToolButton8Click();
    Frcash->Edit2->setText("100");
    app.processEvents();
    Frcash->grab().save(out + "/cash-tender.png");
    Frcash->Button1Click(); // answers Yes: output.txt is written

    // The ticket of the sale just taken, as the preview shows it.
    c.exec("UPDATE outdetail SET spmc=spmc");
    frdm->AQoutlist->reopen("SELECT * from outlist WHERE intno='0000000001'");
    frdm->AQoutdetail->reopen("select * from outdetail where mainintno='0000000001'");
    Tfrroutdetail_s ticket(frdm->AQoutlist, frdm->AQoutdetail, frdm->ATcompany);
    ticket.writePdf(out + "/ticket.pdf");
    ticket.Preview();

    // output.txt in a fixed font: every line 32 columns of half-width cells.
    QFile f(dir.path() + "/output.txt");
    f.open(QIODevice::ReadOnly);
    const QStringList lines = QString(QStringDecoder("GBK").decode(f.readAll())).split("\r\n");
    QFont mono(QStringLiteral("WenQuanYi Micro Hei Mono"), 14);
    const int cell = QFontMetrics(mono).horizontalAdvance('0');
    QImage img(cell * 34, 26 * int(lines.size()) + 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QColor(220, 220, 220));
    p.drawRect(cell - 1, 0, cell * 32 + 1, img.height() - 1);
    p.setPen(Qt::black);
    p.setFont(mono);
    // Each character in its own cells: one for a GBK byte, two for a Chinese character.
    for (int i = 0; i < lines.size(); ++i) {
        int col = 0;
        for (QChar ch : lines[i]) {
            const int width = int(qm::receipt::gbk(QString(ch)).size());
            p.drawText(QRect(cell * (1 + col), 26 * i + 6, cell * width, 26), Qt::AlignCenter, QString(ch));
            col += width;
        }
    }
    p.end();
    img.save(out + "/receipt.png");
    for (const QString& l : lines) std::printf("|%s|\n", qPrintable(l));
    delete frdm;
    delete frmain;
    return 0;
}
