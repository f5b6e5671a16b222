// Entry point of the control tests: a Qt event loop, and audio devices that need no hardware.
#include "NoProxy.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Every Initialize in these tests opens capture and playback: silence in, nothing out.
    qputenv("TAVRINO_CAPTURE", "silence");
    qputenv("TAVRINO_PLAYBACK", "null");
    QCoreApplication app(argc, argv);
    UseNoProxy();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
