// Test main of the client as a command line program has it: a QCoreApplication and no event
// loop, on a private session bus that is up before anything touches the bus.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "simulator.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new vexlo::test::PrivateBusEnvironment);
    return RUN_ALL_TESTS();
}
