// Quits the application once the widget it watches has been painted: how
// a program started for timing shows that it is ready. Header-only, so a
// program without the rest of the widgets uses it too.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace officerecords::app {

class quit_when_painted final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Queued: the quit comes after the paint this event starts.
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace officerecords::app
