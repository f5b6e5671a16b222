// SPDX-License-Identifier: GPL-3.0-or-later
// What the four help files must hold: their names, context numbers and topics.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <ostream>
#include <vector>

struct ExpectedTopic {
    qint32 context;
    QString page;         // the page the context number opens
    QString englishTitle; // the page's title: the caption of the window it describes
    QString japaneseTitle;
};

struct ExpectedHelpFile {
    QString program;  // "TESSORAH"
    QString language; // "English"
    QString title;
    std::vector<ExpectedTopic> topics;

    QString Path() const {
        return QDir(QCoreApplication::applicationDirPath())
            .filePath(program + QLatin1Char('(') + language + QStringLiteral(").qhc"));
    }
    bool Japanese() const { return language == QLatin1String("Japanese"); }
};

inline std::vector<ExpectedTopic> HostTopics() {
    return {{1001, QStringLiteral("/main_window.html"),
             QStringLiteral("TESSORA-H VoIP Program (for Host Station)"),
             QStringLiteral("TESSORA-H VoIP Program (for Host Station)")},
            {2015, QStringLiteral("/setup.html"), QStringLiteral("Setup"), QStringLiteral("設定")},
            {2016, QStringLiteral("/detailed_setup.html"), QStringLiteral("Detailed Setup"),
             QStringLiteral("詳細設定")},
            {2017, QStringLiteral("/about.html"), QStringLiteral("About TESSORA-H"),
             QStringLiteral("TESSORA-Hについて")},
            {2018, QStringLiteral("/audio_settings.html"), QStringLiteral("Audio Settings"), QStringLiteral("音声設定")}};
}

inline std::vector<ExpectedTopic> RemoteTopics() {
    return {{1001, QStringLiteral("/main_window.html"),
             QStringLiteral("TESSORA-R VoIP Program (for Remote Station)"),
             QStringLiteral("TESSORA-R VoIP Program (for Remote Station)")},
            {2012, QStringLiteral("/setup.html"), QStringLiteral("Setup"), QStringLiteral("設定")},
            {2013, QStringLiteral("/detailed_setup.html"), QStringLiteral("Detailed Setup"),
             QStringLiteral("詳細設定")},
            {2014, QStringLiteral("/about.html"), QStringLiteral("About TESSORA-R"),
             QStringLiteral("TESSORA-Rについて")},
            {2018, QStringLiteral("/audio_settings.html"), QStringLiteral("Audio Settings"), QStringLiteral("音声設定")}};
}

inline std::vector<ExpectedHelpFile> AllHelpFiles() {
    return {{QStringLiteral("TESSORAH"), QStringLiteral("English"),
             QStringLiteral("TESSORA-H Help"), HostTopics()},
            {QStringLiteral("TESSORAH"), QStringLiteral("Japanese"),
             QStringLiteral("TESSORA-H ヘルプ"), HostTopics()},
            {QStringLiteral("TESSORAR"), QStringLiteral("English"),
             QStringLiteral("TESSORA-R Help"), RemoteTopics()},
            {QStringLiteral("TESSORAR"), QStringLiteral("Japanese"),
             QStringLiteral("TESSORA-R ヘルプ"), RemoteTopics()}};
}

// Names the file in a failed test's output.
inline void PrintTo(const ExpectedHelpFile& file, std::ostream* os) {
    *os << file.program.toStdString() << '(' << file.language.toStdString() << ").qhc";
}
