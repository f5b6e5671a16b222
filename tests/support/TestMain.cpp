// SPDX-License-Identifier: GPL-3.0-or-later
// The one entry point of the test programs: GoogleTest inside a Qt application.
#include "NoProxy.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // No display, no sound card and no proxy: windows draw offscreen, every Initialize
    // opens silence in and nothing out (a test may choose other devices), and loopback
    // sockets never ask for a proxy.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TAVRINO_CAPTURE"))
        qputenv("TAVRINO_CAPTURE", "silence");
    if (qEnvironmentVariableIsEmpty("TAVRINO_PLAYBACK"))
        qputenv("TAVRINO_PLAYBACK", "null");
    QApplication app(argc, argv);
    UseNoProxy();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
