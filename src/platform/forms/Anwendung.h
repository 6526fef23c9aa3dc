#pragma once
// The runtime around the forms: timers, the event yield, the screen's mouse
// pointer and the conversion between the program's texts and Qt's.
#include <cstdint>
#include <functional>

#include <QPointer>
#include <QString>

#include "platform/basic/Text.h"

class QObject;
class QTimer;

namespace forms {

inline QString Q(TextSicht t) { return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size())); }
inline Text T(const QString& q) { return q.toStdU16String(); }

// A VB timer: ticks every Interval ms while Enabled and Interval > 0, and only
// while the event loop runs. The handler may read the interval it ticked at.
class Zeitgeber {
public:
    explicit Zeitgeber(QObject* eltern);
    ~Zeitgeber();
    Zeitgeber(const Zeitgeber&) = delete;
    Zeitgeber& operator=(const Zeitgeber&) = delete;
    int32_t Interval() const { return interval_; }
    void IntervalSetzen(int32_t ms);
    bool Enabled() const { return enabled_; }
    void EnabledSetzen(bool an);
    // Whether ticks are due (enabled with an interval).
    bool Läuft() const;
    // One tick by hand, as the event loop would deliver it.
    void Takt();
    std::function<void()> Timer;

private:
    void Anpassen();
    // Deleted with this object; guarded, as the parent may delete it first.
    QPointer<QTimer> qt_;
    int32_t interval_ = 0;
    bool enabled_ = false;
};

// Lets pending events run (user input, timers, repaints).
void Ereignisse();

// The screen's pointer: 11 hourglass, 0 default. Setting it twice does not stack.
void Mauszeiger(int zeiger);
int Mauszeiger();

}  // namespace forms
