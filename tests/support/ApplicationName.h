// SPDX-License-Identifier: GPL-3.0-or-later
// The program name that a station's main() gives its application, for the test programs that
// drive that station's windows: message boxes carry it as their title.
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

class ApplicationName : public testing::Environment {
public:
    explicit ApplicationName(const char* name) : m_name(name) {}
    // Runs inside the shared main, once its application exists.
    void SetUp() override { QCoreApplication::setApplicationName(QString::fromLatin1(m_name)); }

private:
    const char* m_name;
};
