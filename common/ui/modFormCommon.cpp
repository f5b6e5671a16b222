// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and text-box behaviour that every station window sets up when it loads.
#include "modFormCommon.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

// Watches one widget's focus and calls back when it really enters or leaves.
// A window that is deactivated keeps its focus widget, so the focus event
// that comes back with the window is not a new arrival; the first one after
// the window is shown is.
class FocusWatcher : public QObject {
public:
    explicit FocusWatcher(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }

    static FocusWatcher* Of(QWidget* widget) {
        for (QObject* child : widget->children())
            if (auto* watcher = dynamic_cast<FocusWatcher*>(child))
                return watcher;
        return new FocusWatcher(widget);
    }

    std::vector<std::function<void()>> gotFocus;
    std::vector<std::function<void()>> lostFocus;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            const bool windowOnly =
                reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
            if (event->type() == QEvent::FocusIn && !(windowOnly && m_inside)) {
                m_inside = true;
                for (const auto& handler : gotFocus)
                    handler();
            } else if (event->type() == QEvent::FocusOut && !windowOnly) {
                m_inside = false;
                for (const auto& handler : lostFocus)
                    handler();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_inside = false;
};

} // namespace

QString GetIconTitleFontName() {
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

void ApplySystemFont(QWidget* form) {
    if (!form)
        return;
    const QString family = GetIconTitleFontName();
    if (family.isEmpty())
        return;
    QFont font = form->font();
    font.setFamily(family);
    form->setFont(font);
    for (QWidget* child : form->findChildren<QWidget*>()) {
        QFont f = child->font();
        f.setFamily(family);
        child->setFont(f);
    }
}

void SetFormBaseFont(QWidget* form) {
    if (!form)
        return;
    QFont font = form->font();
    font.setPointSize(9);
    form->setFont(font);
    ApplySystemFont(form);
}

void SetMainFormFonts(QWidget* form, QWidget* toggle) {
    if (!form || !toggle)
        return;
    QFont base = form->font();
    base.setPointSize(9);
    form->setFont(base);
    QFont big = toggle->font();
    big.setPointSize(16);
    big.setBold(true);
    toggle->setFont(big);
    ApplySystemFont(form);
}

void SelectAllText(QLineEdit* box) {
    if (box)
        box->setSelection(0, static_cast<int>(box->text().size()));
}

void SetWholeText(QLineEdit* box, const QString& text) {
    box->setMaxLength(std::max(box->maxLength(), static_cast<int>(text.size())));
    box->setText(text);
}

void SelectAllOnFocus(QLineEdit* box) {
    if (!box)
        return;
    OnGotFocus(box, [box] {
        SelectAllText(box);
        // A mouse click that brought the focus places the cursor after the
        // focus event; select again once it has been handled.
        QTimer::singleShot(0, box, [guard = QPointer<QLineEdit>(box)] {
            if (guard && guard->hasFocus())
                SelectAllText(guard);
        });
    });
}

void OnGotFocus(QWidget* widget, std::function<void()> handler) {
    if (widget)
        FocusWatcher::Of(widget)->gotFocus.push_back(std::move(handler));
}

void OnLostFocus(QWidget* widget, std::function<void()> handler) {
    if (widget)
        FocusWatcher::Of(widget)->lostFocus.push_back(std::move(handler));
}

void DropFocusHandlers(QWidget* widget) {
    if (!widget)
        return;
    FocusWatcher* watcher = FocusWatcher::Of(widget);
    watcher->gotFocus.clear();
    watcher->lostFocus.clear();
}
