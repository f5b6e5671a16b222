// SPDX-License-Identifier: GPL-3.0-or-later
// The help window: one per process, showing a compiled help file's pages.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QUrl>

#include <memory>

class HelpBrowser;
class HelpFile;
class QAction;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTreeWidget;

// Contents and index on the left, the page on the right. Created on first
// use, reused for every later request, and destroyed with the application.
class HelpViewer : public QMainWindow {
    Q_OBJECT
public:
    // The process's viewer; nullptr when no QApplication runs.
    static HelpViewer* Instance();
    // The viewer if it was ever created, else nullptr (nothing is created).
    static HelpViewer* Existing();

    ~HelpViewer() override;

    // Each returns true when the viewer shows what was asked. When the file
    // cannot be read, or holds no such topic, the viewer says so in its page
    // pane and the result is false. The window is shown and raised either way.
    bool ShowContents(const QString& helpFile);
    bool ShowIndex(const QString& helpFile, const QString& keyword);
    bool ShowContext(const QString& helpFile, qint32 contextNumber);
    // Hides the window.
    void CloseAll();

    // What the page pane shows: "/main.html", or empty for a message.
    QString CurrentPage() const;
    QString CurrentTitle() const;
    // The message shown instead of a page, or empty.
    const QString& CurrentMessage() const { return m_message; }
    // The help file now open, or empty.
    QString OpenFilePath() const;

private:
    HelpViewer();
    bool OpenFile(const QString& helpFile);
    void ApplyLanguage();
    void FillContents();
    void FillIndex();
    void ShowPage(const QString& page);
    void ShowMessage(const QString& text);
    void Present();
    void SelectKeyword(const QString& text);
    void DisplaySelectedKeyword();
    void ContentsItemActivated();
    void PageChanged(const QUrl& url);

    std::unique_ptr<HelpFile> m_file;
    QString m_filePath;
    QDateTime m_fileTime;
    qint64 m_fileSize = -1;
    QString m_message;

    QTabWidget* tabNavigation = nullptr;
    QTreeWidget* tvwContents = nullptr;
    QLineEdit* txtKeyword = nullptr;
    QListWidget* lstKeywords = nullptr;
    QPushButton* btnDisplay = nullptr;
    HelpBrowser* txtTopic = nullptr;
    QAction* mnuBack = nullptr;
    QAction* mnuForward = nullptr;
    QAction* mnuHome = nullptr;
};
