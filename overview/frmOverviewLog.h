#pragma once
#include "platform/Form.h"

// The overview window (being built).
class frmOverviewLog : public platform::Form {
    Q_OBJECT
public:
    frmOverviewLog();
};
