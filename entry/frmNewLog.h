#pragma once
#include "platform/Form.h"

// The new-entry window (being built).
class frmNewLog : public platform::Form {
    Q_OBJECT
public:
    frmNewLog();
};
