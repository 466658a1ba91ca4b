#pragma once
// The About window: the program's name and version.
#include "platform/Form.h"

class QLabel;
class QPushButton;

// "Version 1.0.0": the numbers in plain decimal, one point between them.
QString VersionText(int major, int minor, int revision);

class frmAbout : public platform::Form {
    Q_OBJECT
public:
    frmAbout();

    QPushButton* cmdOK;
    QLabel* picIcon;
    QLabel* lbWingtrail;
    QLabel* lblVersion;
    QWidget* Line1[2];

protected:
    void Form_Load() override;
};
