#include "app/application.h"
#include "app/program.h"
#include "common/dialogs.h"
#include <QFont>

int main(int argc, char** argv)
{
    qm::Application app(argc, argv);
    app.setApplicationName(qm::appTitle());
    app.setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 10));
    return qm::runProgram();
}
