// SPDX-License-Identifier: GPL-3.0-or-later
// What the status frame shows about the call that stands, beside the status line: the lock
// and its word (imgCallSecurity, lblCallSecurity), the voice kind (lblCallVoice, only for
// a wideband call) and the call's rating as bars (imgCallRating, once it is known).
// Nothing shows without a call. Everything runs on the GUI thread.
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QBoxLayout;
class QLabel;
class QWidget;

class CallIndicators : public QObject {
    Q_OBJECT
public:
    // The labels are children of `parent`, added to `row` in the order they show.
    CallIndicators(QWidget* parent, QBoxLayout* row);

    // At status 53: Tavrino::CallSecurity and Tavrino::CallVoice of the connected call.
    void Show(qint32 security, qint32 voice);
    void Hide() { Show(-1, -1); }
    void ApplyLanguage();
    // The rating (1 to 4.5 of 5) of what this station hears and of what the far end
    // hears; nothing for one unknown. Shown while a call stands.
    void ShowRating(std::optional<double> in, std::optional<double> out);

    // The line the tray's tool tip adds while a call stands; empty without one.
    QString SummaryLine() const;

private:
    QLabel* m_lock;  // imgCallSecurity
    QLabel* m_word;  // lblCallSecurity
    QLabel* m_voiceLabel; // lblCallVoice
    QLabel* m_rating;     // imgCallRating
    qint32 m_security = -1;
    qint32 m_voice = -1;
    std::optional<double> m_ratingIn, m_ratingOut;
};
