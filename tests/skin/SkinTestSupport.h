#pragma once

#include "DozivSkin.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>

#include <vector>

// A skinned window whose protected parts the tests reach, recording the module commands that
// reach the derived window.
class TestSkinForm : public TSkinForm {
public:
    using TSkinForm::BuildBuffers;
    using TSkinForm::ReleaseBuffers;

    struct Call {
        qint32 WParam;
        qint32 LParam;
        friend bool operator==(const Call&, const Call&) = default;
    };
    std::vector<Call> Commands;

protected:
    void ModuleSelected(qint32 wParam, qint32 lParam) override {
        Commands.push_back({wParam, lParam});
    }
};

// Records the skin's posted messages as they are delivered to the window.
class SkinMessageSpy : public QObject {
public:
    struct Message {
        int Type;
        qint32 WParam;
        qint32 LParam;
        friend bool operator==(const Message&, const Message&) = default;
    };
    explicit SkinMessageSpy(QObject* target) { target->installEventFilter(this); }
    std::vector<Message> Messages;

    std::vector<Message> OfType(int type) const {
        std::vector<Message> out;
        for (const Message& m : Messages)
            if (m.Type == type)
                out.push_back(m);
        return out;
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        const int t = static_cast<int>(e->type());
        if (t == WM_SKIN_CLICK || t == WM_SKIN_COMMAND || t == WM_SKIN_SYSCOMMAND) {
            auto* m = static_cast<TSkinMessage*>(e);
            Messages.push_back({t, m->WParam, m->LParam});
        }
        return false;
    }
};

// Lets all posted skin messages run (each one may post the next).
inline void DeliverPosted() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}
