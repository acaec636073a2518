#pragma once

#include "SkinMessages.h"

#include <QString>
#include <QWidget>

// Base of the main window. (Placeholder: the skin proper replaces this.)
class TSkinForm : public QWidget {
    Q_OBJECT
public:
    explicit TSkinForm(QWidget* parent = nullptr);

    void SetBackgroundImage(const QString& resName, const QString& resType, int x, int y,
                            int width, int height);
    void AddModule(int id, const QString& caption, const QString& resName,
                   const QString& resType);
    void SelectModule(int id);

protected:
    // WM_SKIN_COMMAND: wParam the element id, lParam its index. The derived window handles it.
    virtual void ModuleSelected(qint32 wParam, qint32 lParam);
    bool event(QEvent* e) override;
};
