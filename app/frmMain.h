#pragma once
// The start-up window: banner, picture, the two buttons, the menus. Its load prepares the
// shared logbook objects; closing it ends the program.
#include "platform/Form.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace platform {
class StatusBar;
}

class frmMain : public platform::Form {
    Q_OBJECT
public:
    frmMain();

    platform::StatusBar* StatusBar1;
    QLabel* picMain;
    QPushButton* cmdNewLog;
    QPushButton* cmdViewLog;
    QLabel* imgMain;
    QMenu* mnuFile;
    QAction* mnuExit;
    QMenu* mnuHelp;
    QAction* mnuHelpWingtrail;
    QAction* mnuAbout;

    // The smallest outer size the window keeps, in twips.
    static constexpr int kMinWidth = 7320;
    static constexpr int kMinHeight = 4890;

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void Form_Resize() override;

private:
    void cmdNewLog_Click();
    void cmdViewLog_Click();
    void mnuAbout_Click();
    void mnuExit_Click();
};
