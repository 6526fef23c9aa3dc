#pragma once
// Placing the controls of one page: geometry in twips relative to the page's
// frame, each control named and kept by the window.
#include "platform/forms/Anwendung.h"
#include "platform/forms/Steuerelemente.h"
#include "ui/frmHaupt.h"

struct Seitenbau {
    frmHaupt& f;
    QWidget* seite;

    Seitenbau(frmHaupt& haupt, int rahmen) : f(haupt), seite(haupt.Rahmen(rahmen)) {}

    template <class T>
    T* Element(const QString& name, int index, int links, int oben, int breite, int höhe) {
        T* e = f.Elemente().Anlegen<T>(seite, name, index);
        forms::Platzieren(e, links, oben, breite, höhe);
        return e;
    }
    template <class T>
    T* Element(const QString& name, int links, int oben, int breite, int höhe) {
        return Element<T>(name, -1, links, oben, breite, höhe);
    }
    // A static text of the page.
    forms::Beschriftung* Text(const QString& caption, int links, int oben, int breite, int höhe) {
        auto* l = new forms::Beschriftung(seite);
        l->CaptionSetzen(caption);
        forms::Platzieren(l, links, oben, breite, höhe);
        return l;
    }
    // A named label with its caption.
    forms::Beschriftung* Label(const QString& name, const QString& caption, int links, int oben, int breite, int höhe) {
        auto* l = Element<forms::Beschriftung>(name, links, oben, breite, höhe);
        l->CaptionSetzen(caption);
        return l;
    }
    forms::Kontrollkästchen* Häkchen(const QString& name, int index, const QString& caption, int wert, int links,
                                     int oben, int breite) {
        auto* c = Element<forms::Kontrollkästchen>(name, index, links, oben, breite, 255);
        c->CaptionSetzen(caption);
        c->ValueSetzen(wert);
        return c;
    }
};
