#pragma once
#include "DozivSkin.h"
class TfrmMain : public TSkinForm {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr) : TSkinForm(parent) {}
};
