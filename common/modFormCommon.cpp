// Fonts and text-box behaviour that every station window sets up when it loads.
#include "modFormCommon.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// Watches one widget's focus changes and calls back on the chosen one.
class FocusWatcher : public QObject {
public:
    FocusWatcher(QWidget* widget, QEvent::Type type, std::function<void()> handler)
        : QObject(widget), m_type(type), m_handler(std::move(handler)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == m_type && m_handler) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                m_handler();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_handler;
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

void SelectAllText(QLineEdit* box) {
    if (box)
        box->setSelection(0, static_cast<int>(box->text().size()));
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
        new FocusWatcher(widget, QEvent::FocusIn, std::move(handler));
}

void OnLostFocus(QWidget* widget, std::function<void()> handler) {
    if (widget)
        new FocusWatcher(widget, QEvent::FocusOut, std::move(handler));
}
