// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts, select-all and focus handlers, message boxes, the timed message
// window and the signal watcher shared by both stations.
#include "ApplicationName.h"
#include "SignalWatcher.h"
#include "modFormCommon.h"
#include "modMessage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <optional>

// Message boxes carry the host's name, as in the host program.
testing::Environment* const kApplicationName =
    testing::AddGlobalTestEnvironment(new ApplicationName("TESSORA-H"));

// Readable QStrings in failure messages (found by argument lookup).
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// A window with a label, a line edit and a big bold button.
struct Form {
    Form() {
        auto* layout = new QVBoxLayout(&window);
        label = new QLabel("label", &window);
        box = new QLineEdit("some text", &window);
        other = new QLineEdit("other", &window);
        button = new QPushButton("button", &window);
        for (QWidget* w : std::initializer_list<QWidget*>{label, box, other, button})
            layout->addWidget(w);
        window.setWindowTitle("A window caption");
    }
    QWidget window;
    QLabel* label;
    QLineEdit* box;
    QLineEdit* other;
    QPushButton* button;
};

QWidget* VisibleTimedWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmMessage" && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

TEST(FormFonts, BaseFontIsNinePointsInTheDesktopFamilyAndKeepsOwnSizes) {
    const QString family = GetIconTitleFontName();
    ASSERT_FALSE(family.isEmpty());
    Form form;
    // Start from a family that differs from the desktop's.
    const QString other = family == "Serif" ? "Monospace" : "Serif";
    QFont start(other, 14);
    form.window.setFont(start);
    form.label->setFont(start);
    QFont big(other, 16);
    big.setBold(true);
    form.button->setFont(big);

    SetFormBaseFont(&form.window);
    EXPECT_EQ(form.window.font().pointSize(), 9);
    EXPECT_EQ(form.window.font().family(), family);
    for (QWidget* w : std::initializer_list<QWidget*>{form.label, form.box, form.other}) {
        EXPECT_EQ(w->font().family(), family) << w->metaObject()->className();
    }
    EXPECT_EQ(form.box->font().pointSize(), 9);
    EXPECT_EQ(form.label->font().pointSize(), 14); // its own size stays
    EXPECT_EQ(form.button->font().family(), family);
    EXPECT_EQ(form.button->font().pointSize(), 16);
    EXPECT_TRUE(form.button->font().bold());

    ApplySystemFont(nullptr); // ignored
    SetFormBaseFont(nullptr);
}

TEST(FocusHandlers, SelectAllOnFocusAndGotLostFocusIgnoreWindowActivation) {
    Form form;
    SelectAllOnFocus(form.box);
    int got = 0;
    int lost = 0;
    OnGotFocus(form.box, [&got] { ++got; });
    OnLostFocus(form.box, [&lost] { ++lost; });
    form.window.show();
    form.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form.window));
    // The box is the first widget: it gets the focus when the window shows.
    ASSERT_TRUE(form.box->hasFocus());
    EXPECT_EQ(got, 1);
    EXPECT_EQ(form.box->selectedText(), "some text");

    form.other->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(lost, 1);
    form.box->setText("new text");
    form.box->deselect();
    form.box->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(got, 2);
    EXPECT_EQ(form.box->selectedText(), "new text");

    // A click puts the cursor after the focus event: select-all still wins.
    form.other->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(form.box, Qt::LeftButton, {}, QPoint(5, form.box->height() / 2));
    QTest::qWait(20);
    EXPECT_EQ(form.box->selectedText(), "new text");
    EXPECT_EQ(got, 3);

    // The window losing and regaining activation is no new arrival.
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form.box, &out);
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form.box, &in);
    QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(form.box, &popupOut);
    EXPECT_EQ(got, 3);
    EXPECT_EQ(lost, 2);

    SelectAllText(form.other);
    EXPECT_EQ(form.other->selectedText(), "other");
}

TEST(MessageBoxes, HookRecordsIconProgramTitleAndText) {
    std::vector<std::tuple<QMessageBox::Icon, QString, QString>> seen;
    SetMessageBoxHookForTesting(
        [&seen](QMessageBox::Icon icon, const QString& title, const QString& text) {
            seen.emplace_back(icon, title, text);
        });
    Form form;
    ShowErrorBox(&form.window, "bad");
    ShowWarningBox(&form.window, QStringLiteral("注意"));
    ShowInfoBox(nullptr, "info");
    SetMessageBoxHookForTesting({});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0],
              std::make_tuple(QMessageBox::Critical, QString("TESSORA-H"), QString("bad")));
    EXPECT_EQ(seen[1],
              std::make_tuple(QMessageBox::Warning, QString("TESSORA-H"), QStringLiteral("注意")));
    EXPECT_EQ(std::get<0>(seen[2]), QMessageBox::Information);
}

TEST(MessageBoxes, RealBoxIsModalWithTheProgramTitleNotTheWindowCaption) {
    Form form;
    form.window.show();
    std::optional<std::tuple<QString, QString, QMessageBox::Icon>> seen;
    QTimer::singleShot(50, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = std::make_tuple(box->windowTitle(), box->text(), box->icon());
        box->button(QMessageBox::Ok)->click();
    });
    ShowErrorBox(&form.window, "Something failed.");
    ASSERT_TRUE(seen.has_value()) << "no modal box appeared";
    EXPECT_EQ(std::get<0>(*seen), "TESSORA-H");
    EXPECT_EQ(std::get<1>(*seen), "Something failed.");
    EXPECT_EQ(std::get<2>(*seen), QMessageBox::Critical);
}

TEST(TimedMessage, ShowsOnTopModelessAndCentredThenClosesByItself) {
    SetTimedMessageDurationForTesting(400);
    std::optional<QString> title, text;
    bool onTop = false, modal = true, centred = false;
    int ticks = 0;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        ++ticks; // events keep running during the wait
        QWidget* w = VisibleTimedWindow();
        if (!w || title)
            return;
        title = w->windowTitle();
        text = w->findChild<QLabel*>("lblMessage")->text();
        onTop = w->windowFlags() & Qt::WindowStaysOnTopHint;
        modal = w->isModal();
        const QRect screen = w->screen()->geometry();
        const QRect frame = w->frameGeometry();
        centred = std::abs(frame.x() - (screen.width() - frame.width()) / 2) <= 1 &&
                  std::abs(frame.y() - (screen.height() - frame.height()) / 2) <= 1;
    });
    look.start();
    QElapsedTimer clock;
    clock.start();
    ShowTimedMessage("Already connecting, please disconnect it first.", "");
    EXPECT_GE(clock.elapsed(), 400);
    ASSERT_TRUE(title.has_value());
    EXPECT_EQ(*title, "TESSORA-H");
    EXPECT_EQ(*text, "Already connecting, please disconnect it first.");
    EXPECT_TRUE(onTop);
    EXPECT_FALSE(modal);
    EXPECT_TRUE(centred);
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(VisibleTimedWindow(), nullptr);
    QApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->objectName(), "frmMessage"); // gone, not just hidden

    title.reset();
    ShowTimedMessage("x", "Own caption");
    ASSERT_TRUE(title.has_value());
    EXPECT_EQ(*title, "Own caption");
    SetTimedMessageDurationForTesting(0);
}

TEST(TimedMessage, ASecondCallDuringTheWaitReusesTheWindow) {
    SetTimedMessageDurationForTesting(300);
    QPointer<QWidget> first;
    QWidget* firstAddress = nullptr;
    QWidget* second = nullptr;
    QString secondText;
    QTimer::singleShot(100, [&] {
        first = VisibleTimedWindow();
        firstAddress = first.data();
        QTimer::singleShot(50, [&] {
            second = VisibleTimedWindow();
            secondText = second ? second->findChild<QLabel*>("lblMessage")->text() : QString();
        });
        ShowTimedMessage("second", "");
        // The outer call still owns the window until its own time is up.
        EXPECT_TRUE(first && first->isVisible());
    });
    ShowTimedMessage("first", "");
    EXPECT_NE(firstAddress, nullptr);
    EXPECT_EQ(second, firstAddress);
    EXPECT_TRUE(first.isNull()); // deleted by the outer call
    EXPECT_EQ(secondText, "second");
    EXPECT_EQ(VisibleTimedWindow(), nullptr);
    SetTimedMessageDurationForTesting(0);
}

TEST(SignalWatcherTest, SigtermAndSigintArriveAsSignalsOnTheEventLoop) {
    std::vector<int> received;
    {
        SignalWatcher watcher;
        ASSERT_TRUE(watcher.IsActive());
        SignalWatcher second; // one per process
        EXPECT_FALSE(second.IsActive());
        QObject::connect(&watcher, &SignalWatcher::closeRequested,
                         [&received](int number) { received.push_back(number); });
        ::raise(SIGTERM);
        ::raise(SIGINT);
        EXPECT_TRUE(received.empty()); // nothing runs inside the handler
        ASSERT_TRUE(QTest::qWaitFor([&received] { return received.size() == 2; }, 2000));
        EXPECT_EQ(received[0], SIGTERM);
        EXPECT_EQ(received[1], SIGINT);
    }
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    // A new watcher works again after the first is gone.
    SignalWatcher again;
    EXPECT_TRUE(again.IsActive());
}
