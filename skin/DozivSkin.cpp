#include "DozivSkin.h"

TSkinForm::TSkinForm(QWidget* parent) : QWidget(parent) {}

void TSkinForm::SetBackgroundImage(const QString&, const QString&, int, int, int, int) {}
void TSkinForm::AddModule(int, const QString&, const QString&, const QString&) {}
void TSkinForm::SelectModule(int) {}
void TSkinForm::ModuleSelected(qint32, qint32) {}

bool TSkinForm::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(WM_SKIN_COMMAND)) {
        auto* m = static_cast<TSkinMessage*>(e);
        ModuleSelected(m->WParam, m->LParam);
        return true;
    }
    return QWidget::event(e);
}
