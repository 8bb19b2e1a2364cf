#include "face_accessible.h"

#include "clock_label.h"
#include "form1.h"

#include <QAccessibleWidget>

namespace {

// The name is the line's text. Each new text still raises Qt's NameChanged: a change of a
// property, not an announcement. Screen readers keep their copy of the name true by it (one
// that is never told would go on reading the first time it saw) and speak it only for the
// object with the focus, which a label, taking none, never is. So the clock is read when asked
// and does not speak by itself every second.
class LineAccessible : public QAccessibleWidget {
public:
    explicit LineAccessible(ClockLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return static_cast<const ClockLabel*>(object())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* faceFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ClockLabel")) {
        if (auto* label = qobject_cast<ClockLabel*>(object))
            return new LineAccessible(label);
    } else if (className == QLatin1String("Form1")) {
        // A plain widget is a pane even as a top-level window; the title is its name.
        if (auto* form = qobject_cast<Form1*>(object))
            return new QAccessibleWidget(form, QAccessible::Window);
    }
    return nullptr;
}

} // namespace

namespace FaceAccessible {

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(faceFactory);
        return true;
    }();
    (void)installed;
}

} // namespace FaceAccessible
