// Product list over 100,000 generated products: opening the list, a 模糊 name
// search and a pinyin search, with their times and the peak memory.
#include "app/tfrmain.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "common/pinyin.h"
#include "data/schema.h"
#include "data/tfrdm.h"
#include "masterdata/tfrproduct.h"
#include "shell/commands.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

static QString peakMemory()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return "?";
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return QString::fromLatin1(line.mid(6).trimmed());
    return "?";
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    qm::AppPaths::setProgramFolder(dir.path());
    QDir().mkpath(dir.path() + "/works");
    QDir().mkpath(dir.path() + "/bak");
    qm::createInitialDatabase(qm::AppPaths::workingDatabase());
    qm::dlg::setBackend(std::make_unique<qm::ScriptedDialogs>());
    frmain = new Tfrmain;
    frdm = new Tfrdm;
    frdm->connectTo(qm::AppPaths::workingDatabase());
    frmain->operatorCode = "999";

    const QStringList brands = {"可口", "百事", "康师傅", "统一", "农夫", "娃哈哈", "伊利", "蒙牛", "旺旺", "乐事",
                                "雀巢", "青岛", "燕京", "双汇", "金龙鱼", "海天", "老干妈", "白象", "今麦郎", "徐福记"};
    const QStringList goods = {"可乐", "雪碧", "矿泉水", "绿茶", "红茶", "牛奶", "酸奶", "方便面", "薯片", "饼干",
                               "啤酒", "火腿肠", "食用油", "酱油", "辣酱", "糖果", "咖啡", "果汁", "面包", "瓜子"};
    const QStringList sizes = {"330ml", "500ml", "1.25L", "250g", "100g", "5L", "袋装", "盒装", "箱", "桶装"};
    const QStringList units = {"瓶", "袋", "盒", "箱", "桶", "包"};
    QElapsedTimer t;
    t.start();
    {
        qm::Connection& c = frdm->ADOCon;
        qm::Transaction tx(c);
        qm::Statement st(c.handle(),
                         "INSERT INTO product (intno,sphh,name,spmc,spgg,spbzxh,splb,branchname,dj_w,dj_n,spmz,spzz,sl,enddate) "
                         "VALUES (:i,:c,:b,:m,:g,:u,:l,:s,:w,:n,:z,:zz,:q,:e)");
        for (int i = 1; i <= count; ++i) {
            QString name = brands[i % brands.size()] + goods[(i / 20) % goods.size()] + sizes[(i / 400) % sizes.size()];
            double price = 1 + (i % 97) * 0.5;
            st.reset();
            st.bind({{"i", QString("%1").arg(i, 8, 10, QChar('0'))}, {"c", QString("%1").arg(i, 6, 10, QChar('0'))},
                     {"b", QString("69%1").arg(i, 11, 10, QChar('0'))}, {"m", name}, {"g", qm::GetPinyinCode(name)},
                     {"u", units[i % units.size()]}, {"l", goods[(i / 20) % goods.size()]},
                     {"s", brands[i % brands.size()] + "公司"}, {"w", price * 0.8}, {"n", price * 0.8}, {"z", price},
                     {"zz", price * 0.9}, {"q", double(i % 50)},
                     {"e", QString("2027-%1-15 00:00:00").arg(1 + i % 12, 2, 10, QChar('0'))}});
            st.step();
        }
        tx.commit();
    }
    std::printf("generated %d products in %.2f s (peak so far %s)\n", count, t.elapsed() / 1000.0,
                qPrintable(peakMemory()));

    t.restart();
    qm::runCommand("N14");
    TFrproduct* list = Frproduct;
    app.processEvents();
    const double openS = t.nsecsElapsed() / 1e9;
    std::printf("open list (%d rows):        %.3f s (peak so far %s)\n", frdm->Aqproduct->recordCount(), openS,
                qPrintable(peakMemory()));

    list->ComboBox1->setCurrentText("品名规格");
    list->RadioFuzzy->setChecked(true);
    t.restart();
    list->Edit1->setText("可乐");
    app.processEvents();
    std::printf("模糊 name search '可乐':    %.3f s  (%s)\n", t.nsecsElapsed() / 1e9,
                qPrintable(list->StatusPanel3->text()));

    list->ComboBox1->setCurrentText("拼音首字");
    t.restart();
    list->Edit1->setText("KSF");
    app.processEvents();
    std::printf("pinyin search 'KSF':        %.3f s  (%s)\n", t.nsecsElapsed() / 1e9,
                qPrintable(list->StatusPanel3->text()));

    t.restart();
    list->Edit1->setText("");
    app.processEvents();
    std::printf("empty search (all):         %.3f s  (%s)\n", t.nsecsElapsed() / 1e9,
                qPrintable(list->StatusPanel3->text()));
    std::printf("peak memory (VmHWM):        %s\n", qPrintable(peakMemory()));
    list->close();
    delete frdm;
    delete frmain;
    return 0;
}
