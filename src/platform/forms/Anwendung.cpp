#include "platform/forms/Anwendung.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

namespace forms {

Zeitgeber::Zeitgeber(QObject* eltern) : qt_(new QTimer(eltern)) {
    QObject::connect(qt_, &QTimer::timeout, qt_, [this] { Takt(); });
}

// The QTimer's tick calls back into this object, so it must not outlive it.
Zeitgeber::~Zeitgeber() { delete qt_; }

void Zeitgeber::IntervalSetzen(int32_t ms) {
    interval_ = ms < 0 ? 0 : ms;
    Anpassen();
}

void Zeitgeber::EnabledSetzen(bool an) {
    enabled_ = an;
    Anpassen();
}

bool Zeitgeber::Läuft() const { return enabled_ && interval_ > 0; }

void Zeitgeber::Anpassen() {
    // Interval 0 switches a VB timer off; a QTimer would fire on every loop.
    if (!Läuft()) {
        qt_->stop();
        return;
    }
    if (qt_->isActive() && qt_->interval() == interval_) return;
    qt_->start(interval_);
}

void Zeitgeber::Takt() {
    if (Timer) Timer();
}

void Ereignisse() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

namespace {
int gZeiger = 0;
}

void Mauszeiger(int zeiger) {
    const bool sanduhr = zeiger == 11;
    if (sanduhr == (gZeiger == 11)) {
        gZeiger = zeiger;
        return;
    }
    if (sanduhr) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else QApplication::restoreOverrideCursor();
    gZeiger = zeiger;
}

int Mauszeiger() { return gZeiger; }

}  // namespace forms
