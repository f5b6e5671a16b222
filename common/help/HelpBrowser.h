// SPDX-License-Identifier: GPL-3.0-or-later
// The page pane of the help viewer: shows the pages of one help collection.
#pragma once

#include <QTextBrowser>

class HelpFile;

// Pages are addressed as "help:/page.html#fragment"; links between pages,
// style sheets and pictures are read from the collection. Nothing else is
// loaded or followed: a page naming a local file (a FIFO would block the
// window) or a web address shows without it.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    // The file whose pages are shown; nullptr shows none. Clears the history,
    // which belongs to the previous file.
    void SetHelpFile(const HelpFile* file);

    static QUrl PageUrl(const QString& page);
    // "/main.html" of "help:/main.html#x", or empty for anything else.
    static QString PageOf(const QUrl& url);

    // Shows `url` (a page of the file), reloading it when a text was shown
    // in its place since it was last loaded.
    void Open(const QUrl& url);
    // Shows rich text in place of a page.
    void ShowText(const QString& html);

    // Shown in place of a page that the file does not hold.
    void SetMissingPageText(const QString& text) { m_missingPageText = text; }

    QVariant loadResource(int type, const QUrl& name) override;

private:
    void OpenLink(const QUrl& link);

    const HelpFile* m_file = nullptr;
    // The document no longer shows source(): a text or another file took its place.
    bool m_stale = false;
    QString m_missingPageText;
};
