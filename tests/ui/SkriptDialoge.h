#pragma once
// Scripted dialogs for the window's tests: queued answers to message boxes,
// input boxes and the file dialog. An unexpected box fails the test.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/forms/Dialoge.h"

class SkriptDialoge : public forms::Dialogdienst {
public:
    struct Meldung {
        QString text;
        int stil;
        std::optional<QString> titel;
    };
    std::vector<Meldung> meldungen;
    // Runs while a message box is open, as a user acting meanwhile would.
    std::function<void()> währendMeldung;

    ~SkriptDialoge() override {
        EXPECT_TRUE(antworten_.empty()) << antworten_.size() << " erwartete Meldung(en) kamen nicht";
    }

    // The next box is answered with `antwort`; when `enthält` is given, its text must contain it.
    void Antworten(int antwort, const QString& enthält = {}) { antworten_.push_back({antwort, enthält}); }
    size_t offeneAntworten() const { return antworten_.size(); }
    Meldung letzte() const { return meldungen.empty() ? Meldung{} : meldungen.back(); }

    int MsgBox(const QString& prompt, int stil, const std::optional<QString>& titel) override {
        meldungen.push_back({prompt, stil, titel});
        if (währendMeldung) währendMeldung();
        if (antworten_.empty()) {
            ADD_FAILURE() << "unerwartete Meldung: " << titel.value_or(QStringLiteral("(Programmtitel)")).toStdString()
                          << " | " << prompt.toStdString();
            return (stil & 7) == 2 ? 5 : 7;
        }
        const auto a = antworten_.front();
        antworten_.pop_front();
        if (!a.enthält.isEmpty()) {
            EXPECT_TRUE(prompt.contains(a.enthält))
                << prompt.toStdString() << " enthält nicht " << a.enthält.toStdString();
        }
        return a.antwort;
    }

    std::deque<QString> eingaben;
    QString InputBox(const QString& prompt, const QString&, const QString&) override {
        if (eingaben.empty()) {
            ADD_FAILURE() << "unerwartete Eingabe: " << prompt.toStdString();
            return {};
        }
        const QString e = eingaben.front();
        eingaben.pop_front();
        return e;
    }

    // Each entry: the path and filter index chosen, or none for a cancel.
    std::deque<std::optional<std::pair<QString, int>>> dateien;
    std::vector<forms::Dateiauswahl> dateidialoge;
    bool DateiÖffnen(forms::Dateiauswahl& a) override {
        dateidialoge.push_back(a);
        if (dateien.empty()) {
            ADD_FAILURE() << "unerwarteter Dateidialog";
            return false;
        }
        const auto d = dateien.front();
        dateien.pop_front();
        if (!d) return false;
        a.FileName = d->first;
        a.FilterIndex = d->second;
        return true;
    }

private:
    struct Antwort {
        int antwort;
        QString enthält;
    };
    std::deque<Antwort> antworten_;
};
