// SPDX-License-Identifier: GPL-3.0-or-later
// The help window: one per process, showing a compiled help file's pages.
#include "HelpViewer.h"

#include "HelpBrowser.h"
#include "HelpFile.h"
#include "modAccessibility.h"
#include "modHvnRegistry.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace {

std::unique_ptr<HelpViewer> g_viewer;

// Widgets must go before the application object does.
void DestroyViewer() {
    g_viewer.reset();
}

constexpr int kPageRole = Qt::UserRole;

} // namespace

HelpViewer* HelpViewer::Instance() {
    if (g_viewer)
        return g_viewer.get();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return nullptr;
    g_viewer.reset(new HelpViewer);
    qAddPostRoutine(&DestroyViewer);
    return g_viewer.get();
}

HelpViewer* HelpViewer::Existing() {
    return g_viewer.get();
}

HelpViewer::HelpViewer() {
    setObjectName(QStringLiteral("frmHelpViewer"));
    // An open help window must not keep the program running after its main
    // window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(820, 560);

    auto* toolbar = addToolBar(QString());
    toolbar->setObjectName(QStringLiteral("tbrNavigation"));
    toolbar->setMovable(false);
    mnuBack = toolbar->addAction(QString());
    mnuBack->setObjectName(QStringLiteral("mnuBack"));
    mnuBack->setShortcut(QKeySequence::Back);
    mnuForward = toolbar->addAction(QString());
    mnuForward->setObjectName(QStringLiteral("mnuForward"));
    mnuForward->setShortcut(QKeySequence::Forward);
    mnuHome = toolbar->addAction(QString());
    mnuHome->setObjectName(QStringLiteral("mnuHome"));
    // As in web browsers; the tool bar itself takes no keyboard focus.
    mnuHome->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));

    auto* splitter = new QSplitter(this);
    setCentralWidget(splitter);

    tabNavigation = new QTabWidget(splitter);
    tabNavigation->setObjectName(QStringLiteral("tabNavigation"));

    tvwContents = new QTreeWidget(tabNavigation);
    tvwContents->setObjectName(QStringLiteral("tvwContents"));
    tvwContents->setHeaderHidden(true);
    tabNavigation->addTab(tvwContents, QString());

    auto* indexPage = new QWidget(tabNavigation);
    auto* indexLayout = new QVBoxLayout(indexPage);
    auto* lblKeyword = new QLabel(indexPage);
    lblKeyword->setObjectName(QStringLiteral("lblKeyword"));
    txtKeyword = new QLineEdit(indexPage);
    txtKeyword->setObjectName(QStringLiteral("txtKeyword"));
    lblKeyword->setBuddy(txtKeyword);
    lstKeywords = new QListWidget(indexPage);
    lstKeywords->setObjectName(QStringLiteral("lstKeywords"));
    btnDisplay = new QPushButton(indexPage);
    btnDisplay->setObjectName(QStringLiteral("btnDisplay"));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(btnDisplay);
    indexLayout->addWidget(lblKeyword);
    indexLayout->addWidget(txtKeyword);
    indexLayout->addWidget(lstKeywords);
    indexLayout->addLayout(buttonRow);
    tabNavigation->addTab(indexPage, QString());

    txtTopic = new HelpBrowser(splitter);
    txtTopic->setObjectName(QStringLiteral("txtTopic"));
    splitter->addWidget(tabNavigation);
    splitter->addWidget(txtTopic);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 580});

    connect(mnuBack, &QAction::triggered, txtTopic, &QTextBrowser::backward);
    connect(mnuForward, &QAction::triggered, txtTopic, &QTextBrowser::forward);
    connect(mnuHome, &QAction::triggered, this, [this] {
        if (m_file)
            ShowPage(m_file->DefaultTopic());
    });
    connect(txtTopic, &QTextBrowser::backwardAvailable, mnuBack, &QAction::setEnabled);
    connect(txtTopic, &QTextBrowser::forwardAvailable, mnuForward, &QAction::setEnabled);
    connect(txtTopic, &QTextBrowser::sourceChanged, this, &HelpViewer::PageChanged);
    connect(tvwContents, &QTreeWidget::itemActivated, this, &HelpViewer::ContentsItemActivated);
    connect(tvwContents, &QTreeWidget::itemClicked, this, &HelpViewer::ContentsItemActivated);
    connect(txtKeyword, &QLineEdit::textEdited, this, &HelpViewer::SelectKeyword);
    connect(txtKeyword, &QLineEdit::returnPressed, this, &HelpViewer::DisplaySelectedKeyword);
    connect(lstKeywords, &QListWidget::itemActivated, this, &HelpViewer::DisplaySelectedKeyword);
    connect(btnDisplay, &QPushButton::clicked, this, &HelpViewer::DisplaySelectedKeyword);
    mnuBack->setEnabled(false);
    mnuForward->setEnabled(false);

    ApplyLanguage();
}

HelpViewer::~HelpViewer() {
    // The page pane must not outlive the file it reads from.
    txtTopic->SetHelpFile(nullptr);
}

void HelpViewer::ApplyLanguage() {
    setWindowTitle(m_file && !m_file->Title().isEmpty()
                       ? m_file->Title()
                       : Tr(QStringLiteral("Help"), QStringLiteral("ヘルプ")));
    mnuBack->setText(Tr(QStringLiteral("Back"), QStringLiteral("戻る")));
    mnuForward->setText(Tr(QStringLiteral("Forward"), QStringLiteral("進む")));
    mnuHome->setText(Tr(QStringLiteral("Home"), QStringLiteral("ホーム")));
    tabNavigation->setTabText(0, Tr(QStringLiteral("&Contents"), QStringLiteral("目次(&C)")));
    tabNavigation->setTabText(1, Tr(QStringLiteral("I&ndex"), QStringLiteral("索引(&N)")));
    if (auto* label = findChild<QLabel*>(QStringLiteral("lblKeyword")))
        label->setText(Tr(QStringLiteral("&Type in the keyword to find:"),
                          QStringLiteral("検索するキーワードを入力してください(&T):")));
    btnDisplay->setText(Tr(QStringLiteral("&Display"), QStringLiteral("表示(&D)")));
    NameForReaders(tvwContents, Tr(QStringLiteral("Contents"), QStringLiteral("目次")));
    NameForReaders(lstKeywords, Tr(QStringLiteral("Keywords"), QStringLiteral("キーワード")));
    txtTopic->SetMissingPageText(
        Tr(QStringLiteral("The page %1 is not in this help file."),
           QStringLiteral("ページ %1 はこのヘルプ・ファイルにありません。")));
}

bool HelpViewer::OpenFile(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (m_file && helpFile == m_filePath && info.exists() && info.lastModified() == m_fileTime &&
        info.size() == m_fileSize)
        return true;

    txtTopic->SetHelpFile(nullptr);
    m_file = HelpFile::Open(helpFile);
    m_filePath.clear();
    if (!m_file) {
        tvwContents->clear();
        lstKeywords->clear();
        ApplyLanguage();
        ShowMessage(Tr(QStringLiteral("The help file could not be opened:\n%1\n\nIt is missing or "
                                      "damaged. Reinstall the program to restore it."),
                       QStringLiteral("ヘルプ・ファイルを開けませんでした:\n%1\n\nファイルが見"
                                      "つからないか、壊れています。プログラムを再インストールし"
                                      "て復元してください。"))
                        .arg(QDir::toNativeSeparators(helpFile)));
        return false;
    }
    m_filePath = helpFile;
    m_fileTime = info.lastModified();
    m_fileSize = info.size();
    txtTopic->SetHelpFile(m_file.get());
    FillContents();
    FillIndex();
    ApplyLanguage();
    return true;
}

void HelpViewer::FillContents() {
    tvwContents->clear();
    QList<QTreeWidgetItem*> parents;
    for (const HelpEntry& entry : m_file->Contents()) {
        while (parents.size() > entry.level)
            parents.removeLast();
        QTreeWidgetItem* item = parents.isEmpty() ? new QTreeWidgetItem(tvwContents)
                                                  : new QTreeWidgetItem(parents.last());
        item->setText(0, entry.name);
        item->setData(0, kPageRole, entry.local);
        // A deeper entry without its parent hangs on the deepest one present.
        if (parents.size() == entry.level)
            parents.append(item);
    }
    tvwContents->expandAll();
}

void HelpViewer::FillIndex() {
    lstKeywords->clear();
    for (const HelpEntry& entry : m_file->Index()) {
        auto* item = new QListWidgetItem(QString(entry.level * 4, QLatin1Char(' ')) + entry.name,
                                         lstKeywords);
        item->setData(kPageRole, entry.local);
    }
}

void HelpViewer::ShowPage(const QString& page) {
    if (!m_file)
        return;
    m_message.clear();
    txtTopic->Open(HelpBrowser::PageUrl(page));
}

void HelpViewer::ShowMessage(const QString& text) {
    m_message = text;
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    txtTopic->ShowText(
        QStringLiteral("<html><body><h3>%1</h3><p>%2</p></body></html>")
            .arg(Tr(QStringLiteral("Help"), QStringLiteral("ヘルプ")).toHtmlEscaped(), html));
}

void HelpViewer::Present() {
    // A modal dialog blocks every other window except its own transient
    // children: hang the viewer on it so that help asked for from a dialog
    // can be read and scrolled while the dialog stays open.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == this)
        modal = nullptr;
    auto attach = [this, modal] {
        if (QWindow* handle = windowHandle())
            handle->setTransientParent(modal != nullptr ? modal->windowHandle() : nullptr);
    };
    winId();
    attach();
    show();
    attach();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

bool HelpViewer::ShowContents(const QString& helpFile) {
    bool shown = OpenFile(helpFile);
    if (shown) {
        tabNavigation->setCurrentIndex(0);
        shown = m_file->Contains(m_file->DefaultTopic());
        if (shown)
            ShowPage(m_file->DefaultTopic());
        else
            ShowMessage(Tr(QStringLiteral("The help file %1 has no contents page."),
                           QStringLiteral("ヘルプ・ファイル %1 には目次のページがありません。"))
                            .arg(QDir::toNativeSeparators(helpFile)));
    }
    Present();
    return shown;
}

bool HelpViewer::ShowIndex(const QString& helpFile, const QString& keyword) {
    const bool shown = OpenFile(helpFile);
    if (shown) {
        tabNavigation->setCurrentIndex(1);
        txtKeyword->setText(keyword);
        SelectKeyword(keyword);
        const QListWidgetItem* item = lstKeywords->currentItem();
        if (item != nullptr && !keyword.isEmpty() &&
            item->text().trimmed().compare(keyword.trimmed(), Qt::CaseInsensitive) == 0)
            DisplaySelectedKeyword();
        else if (CurrentPage().isEmpty() && m_file->Contains(m_file->DefaultTopic()))
            ShowPage(m_file->DefaultTopic());
        txtKeyword->setFocus();
    }
    Present();
    return shown;
}

bool HelpViewer::ShowContext(const QString& helpFile, qint32 contextNumber) {
    bool shown = OpenFile(helpFile);
    if (shown) {
        const QString page = m_file->TopicOfContext(contextNumber);
        shown = !page.isEmpty();
        if (shown)
            ShowPage(page);
        else
            ShowMessage(Tr(QStringLiteral("The help file %1 has no topic for help context "
                                          "number %2."),
                           QStringLiteral("ヘルプ・ファイル %1 には、ヘルプ・コンテキスト番号 "
                                          "%2 のトピックがありません。"))
                            .arg(QDir::toNativeSeparators(helpFile))
                            .arg(contextNumber));
    }
    Present();
    return shown;
}

void HelpViewer::CloseAll() {
    close();
}

QString HelpViewer::CurrentPage() const {
    return m_message.isEmpty() ? HelpBrowser::PageOf(txtTopic->source()) : QString();
}

QString HelpViewer::CurrentTitle() const {
    return m_message.isEmpty() ? txtTopic->documentTitle() : QString();
}

QString HelpViewer::OpenFilePath() const {
    return m_filePath;
}

void HelpViewer::SelectKeyword(const QString& text) {
    const QString wanted = text.trimmed();
    if (wanted.isEmpty())
        return;
    for (int i = 0; i < lstKeywords->count(); ++i) {
        QListWidgetItem* item = lstKeywords->item(i);
        if (item->text().trimmed().startsWith(wanted, Qt::CaseInsensitive)) {
            lstKeywords->setCurrentItem(item);
            lstKeywords->scrollToItem(item, QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpViewer::DisplaySelectedKeyword() {
    const QListWidgetItem* item = lstKeywords->currentItem();
    if (item != nullptr)
        ShowPage(item->data(kPageRole).toString());
}

void HelpViewer::ContentsItemActivated() {
    const QTreeWidgetItem* item = tvwContents->currentItem();
    if (item != nullptr && !item->data(0, kPageRole).toString().isEmpty())
        ShowPage(item->data(0, kPageRole).toString());
}

void HelpViewer::PageChanged(const QUrl& url) {
    // Keep the contents in step with the page, however it was reached. (The
    // signal comes before source() changes: the new page is only in `url`.)
    const QString page = HelpBrowser::PageOf(url);
    if (page.isEmpty())
        return;
    QTreeWidgetItemIterator it(tvwContents);
    for (; *it != nullptr; ++it) {
        const QString local = (*it)->data(0, kPageRole).toString();
        if (HelpBrowser::PageOf(HelpBrowser::PageUrl(local)).compare(page, Qt::CaseInsensitive) ==
            0) {
            const QSignalBlocker block(tvwContents);
            tvwContents->setCurrentItem(*it);
            return;
        }
    }
}
