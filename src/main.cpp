#include <cstdio>

int main() {
    std::puts("Purivo 1.0 – Bereinigung von Adresstabellen (das Hauptfenster ist noch nicht gebaut).");
    return 0;
}
