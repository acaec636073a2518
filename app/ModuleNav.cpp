// The module bar: it replaces the page tabs and switches the pages.
#include "HidIap.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

void TfrmMain::SetupModuleBar() {
    SetBackgroundImage(QStringLiteral("BkImage2_jpg"), QStringLiteral("Skin"), 255, 150, 60, 60);
    AddModule(100, QStringLiteral("首页"), QStringLiteral("Module_Home_png"),
              QStringLiteral("Skin"));
    AddModule(101, QStringLiteral("升级"), QStringLiteral("Module_protec_png"),
              QStringLiteral("Skin"));
    SelectModule(100);
    pgcMain->tabBar()->hide();
    pgcMain->setCurrentWidget(rztbshtHome);

    // The service key: no button leads to the Tool page; this posts the module command that
    // reaches it, exactly as such a command would arrive.
    auto* serviceKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12), this);
    serviceKey->setContext(Qt::WindowShortcut);
    connect(serviceKey, &QShortcut::activated, this, [this] {
        QCoreApplication::postEvent(this, new TSkinMessage(WM_SKIN_COMMAND, 103, -1));
    });
}

void TfrmMain::ModuleSelected(qint32 wParam, qint32) {
    switch (wParam) {
    case 100:
        SelectModule(100);
        pgcMain->setCurrentWidget(rztbshtHome);
        break;
    case 101:
        SelectModule(101);
        pgcMain->setCurrentWidget(rztbshtUpdate);
        break;
    case 103:
        SelectModule(103);
        pgcMain->setCurrentWidget(rztbshtTool);
        break;
    case 102:
    case 104:
    case 105:
        SelectModule(wParam);
        break;
    default:
        break; // the app button (-5) and anything else
    }
}
