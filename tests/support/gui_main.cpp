// The main of every widget test: one application object, named as the program is, so
// that message boxes carry its title.
#include <QApplication>
#include <gtest/gtest.h>

#include "resources/Resources.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wingtrail"));
    resources::Init();
    QApplication::setWindowIcon(resources::ProgramIcon());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
