// SPDX-License-Identifier: GPL-3.0-or-later
// The Call Statistics window.
#include "frmCallStatistics.h"

#include "CallStatisticsFeed.h"
#include "CallStatisticsPlot.h"
#include "modHvnRegistry.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace {

// What the control calls a figure of each direction ("" where a direction has none), its
// unit, and how the window names it.
struct Figure {
    const char* name; // object names: lblName_<name>, lblIn_<name>, lblOut_<name>
    const char* in;
    const char* out;
    const char* unit;
    const char* english;
    const char* japanese;
};

constexpr std::array<Figure, 12> kFigures{{
    {"voice", "bitrate_in_kbps", "bitrate_out_kbps", "kbit/s", "Voice", "音声"},
    {"rtt", "rtt_ms", "", "ms", "Round trip", "往復時間"},
    {"loss10s", "loss_in_10s_pct", "loss_out_10s_pct", "%", "Loss, last 10 s", "損失（直近10秒）"},
    {"loss", "loss_in_pct", "loss_out_pct", "%", "Loss, whole call", "損失（通話全体）"},
    {"jitter", "jitter_in_ms", "jitter_out_ms", "ms", "Jitter", "ジッター"},
    {"buffer", "buffer_in_ms", "buffer_out_ms", "ms", "Jitter buffer", "ジッターバッファー"},
    {"concealed", "concealed_in", "concealed_out", "", "Concealed frames", "補間したフレーム"},
    {"recovered", "recovered_in", "recovered_out", "", "Rebuilt by FEC", "FECで復元したフレーム"},
    {"late", "late_in", "late_out", "", "Late frames", "遅れたフレーム"},
    {"bytes", "bytes_in", "bytes_out", "", "Bytes", "バイト数"},
    {"encoder", "", "encoder_loss_pct", "%", "Encoder's expected loss", "符号化器の想定損失"},
    {"rating", "rating", "rating_out", "/ 5", "Rating", "評価"},
}};

QLabel* Named(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}

// One figure as the window shows it: the value and its unit, frames with their share,
// the voice with its kind; "-" when unknown.
QString Shown(const CallFigures& f, const char* key, const char* unit) {
    if (*key == '\0')
        return {};
    const QString k = QLatin1String(key);
    const QString value = f.Text(k);
    if (value == QLatin1String("-"))
        return value;
    if (k.startsWith(QLatin1String("bitrate"))) {
        const QString kind = f.Text(QStringLiteral("voice")) == QLatin1String("wideband")
                                 ? Tr(QStringLiteral("Opus, 16 kHz"), QStringLiteral("Opus、16 kHz"))
                                 : Tr(QStringLiteral("GSM, 8 kHz"), QStringLiteral("GSM、8 kHz"));
        return QStringLiteral("%1, %2 %3").arg(kind, value, QLatin1String(unit));
    }
    if (k.startsWith(QLatin1String("concealed")) || k.startsWith(QLatin1String("recovered")) ||
        k.startsWith(QLatin1String("late"))) {
        const QString share = f.Text(k + QStringLiteral("_pct"));
        return share == QLatin1String("-") ? value : QStringLiteral("%1 (%2 %)").arg(value, share);
    }
    return *unit ? QStringLiteral("%1 %2").arg(value, QLatin1String(unit)) : value;
}

} // namespace

frmCallStatistics::frmCallStatistics(const CallStatisticsFeed* feed, QWidget* parent)
    : QDialog(parent), m_feed(feed) {
    setObjectName(QStringLiteral("frmCallStatistics"));
    setModal(false);
    lblCallState = Named(this, QStringLiteral("lblCallState"));
    lblReceived = Named(this, QStringLiteral("lblReceived"));
    lblSent = Named(this, QStringLiteral("lblSent"));
    auto* grid = new QGridLayout;
    grid->addWidget(lblReceived, 0, 1);
    grid->addWidget(lblSent, 0, 2);
    int row = 1;
    for (const Figure& figure : kFigures) {
        const QString name = QLatin1String(figure.name);
        RowLabels labels{Named(this, QStringLiteral("lblName_") + name),
                         Named(this, QStringLiteral("lblIn_") + name),
                         Named(this, QStringLiteral("lblOut_") + name)};
        for (QLabel* value : {labels.in, labels.out})
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(labels.name, row, 0);
        grid->addWidget(labels.in, row, 1);
        grid->addWidget(labels.out, row, 2);
        m_rows.push_back(labels);
        ++row;
    }
    m_plot = new CallStatisticsPlot(feed, this);
    auto* buttons = new QDialogButtonBox(this);
    cmdClose = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCallState);
    layout->addLayout(grid);
    layout->addWidget(m_plot, 1);
    layout->addWidget(buttons);
    connect(feed, &CallStatisticsFeed::Updated, this, &frmCallStatistics::Refresh);
    ApplyLanguage();
}

void frmCallStatistics::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Call Statistics"), QStringLiteral("通話の統計")));
    lblReceived->setText(Tr(QStringLiteral("Received here"), QStringLiteral("受信")));
    lblSent->setText(Tr(QStringLiteral("Received there"), QStringLiteral("相手の受信")));
    lblSent->setToolTip(Tr(QStringLiteral("What the far end received from this station, as its "
                                          "reports tell"),
                           QStringLiteral("このステーションから相手が受信したもの（相手の報告による）")));
    cmdClose->setText(Tr(QStringLiteral("Close"), QStringLiteral("閉じる")));
    for (std::size_t i = 0; i < kFigures.size(); ++i)
        m_rows[i].name->setText(Tr(QString::fromUtf8(kFigures[i].english),
                                   QString::fromUtf8(kFigures[i].japanese)));
    m_plot->ApplyLanguage();
    Refresh();
}

void frmCallStatistics::Refresh() {
    const CallFigures& f = m_feed->Latest();
    if (f.IsEmpty()) {
        lblCallState->setText(Tr(QStringLiteral("No call yet."), QStringLiteral("まだ通話はありません。")));
    } else {
        const int seconds = f.Number(QStringLiteral("duration_s")).value_or(0);
        const QString length = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
        const bool encrypted = f.Text(QStringLiteral("encrypted")) == QLatin1String("yes");
        const bool reports = f.Text(QStringLiteral("reports")) == QLatin1String("yes");
        lblCallState->setText(
            (m_feed->Running() ? Tr(QStringLiteral("Call standing for %1"), QStringLiteral("通話中 %1"))
                               : Tr(QStringLiteral("Last call, %1"), QStringLiteral("前回の通話 %1")))
                .arg(length) +
            QStringLiteral(" · ") +
            (encrypted ? Tr(QStringLiteral("encrypted"), QStringLiteral("暗号化"))
                       : Tr(QStringLiteral("not encrypted"), QStringLiteral("暗号化なし"))) +
            (reports ? QString()
                     : QStringLiteral(" · ") + Tr(QStringLiteral("the far end sends no reports"),
                                                  QStringLiteral("相手は報告を送りません"))));
    }
    for (std::size_t i = 0; i < kFigures.size(); ++i) {
        const Figure& figure = kFigures[i];
        const QString name = m_rows[i].name->text();
        for (const auto& [label, key, side] :
             {std::tuple{m_rows[i].in, figure.in, lblReceived->text()},
              std::tuple{m_rows[i].out, figure.out, lblSent->text()}}) {
            label->setText(f.IsEmpty() ? QString() : Shown(f, key, figure.unit));
            label->setAccessibleName(name + QStringLiteral(", ") + side);
        }
    }
}
