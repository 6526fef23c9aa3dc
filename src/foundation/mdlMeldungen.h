#pragma once
// Progress and message services, and the one error-trap convention every
// procedure that touches the database follows.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>

#include "platform/basic/Fehler.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

inline int32_t gFortschrittPosition = 0;
inline int32_t gFortschrittGesamt = 0;
inline int32_t gFortschrittDauer = 0;

// The button pressed in the error box.
using Fehlerreaktion = uint8_t;
inline constexpr Fehlerreaktion ReaktionAbbrechen = 3;
inline constexpr Fehlerreaktion ReaktionWiederholen = 4;
inline constexpr Fehlerreaktion ReaktionIgnorieren = 5;

void FortschrittZurücksetzen();
void FortschrittStarten(int32_t& Gesamt, double Faktor);
void FortschrittAnhalten();
void FortschrittBeenden();

// The two timer ticks of the progress page (the main window's timers call them).
void FortschrittBalkenTakt();
void FortschrittDauerTakt();
// Milliseconds as h:mm:ss.
Text ZeitTextErmitteln(int64_t millisekunden);

void HinweisAnzeigen(const Variante& Text);
void AchtungAnzeigen(const Variante& Text);
// Extends `Text` in place by the system part and returns the pressed button.
Fehlerreaktion FehlerAnzeigen(Variante& Text);

// An error trap. Each step of a procedure runs through it: on an error it shows
// the procedure's message; retry runs the step again, ignore goes on after it,
// abort sets gFehlerAbbruch (unless the trap is told not to) and the step
// returns false, upon which the procedure leaves. An error of a callee without a
// trap of its own propagates into the caller's step, so retry repeats the call.
class Fehlerfalle {
public:
    // A step as the trap runs it: at once, so it is referred to, not copied (a copy
    // into a std::function costs an allocation for most steps, millions of them in
    // a long run).
    class Schritt {
    public:
        template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Schritt>>>
        Schritt(F&& f)  // NOLINT: taken where a step is passed
            : objekt_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
              aufruf_([](void* o) { (*static_cast<std::remove_reference_t<F>*>(o))(); }) {}
        void operator()() const { aufruf_(objekt_); }

    private:
        void* objekt_;
        void (*aufruf_)(void*);
    };

    explicit Fehlerfalle(std::function<::Text()> meldung, bool abbruchSetztFlag = true);

    // Runs one step; false when the user chose abort (the procedure must leave).
    bool operator()(Schritt schritt);
    // Whether abort was chosen in this trap.
    bool abgebrochen() const { return abgebrochen_; }

    // A step run with errors skipped, without a message.
    static void ohneFehler(Schritt schritt);

private:
    std::function<::Text()> meldung_;
    bool abbruchSetztFlag_;
    bool abgebrochen_ = false;
};

// Records a caught exception as the error being handled (Err).
void FehlerMerken(const std::exception& e);
