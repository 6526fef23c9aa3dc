// Prints the tables of an Access file as JSON, read with mdb-reader (a reader that shares
// no code with libmdb), for the tests to compare against.
//
//   node lesen.mjs DATEI [--tabelle NAME] [--passwort PW] [--system]
//
// Output: {"tabellen":[{"name","zeilenzahl","spalten":[{"name","typ","groesse"}],"zeilen":[[…]]}]}
// with values typed so that nothing is ambiguous: Null as null, Boolean as true/false,
// numbers as JSON numbers, Currency/Numeric/BigInt as strings, dates as
// "YYYY-MM-DDTHH:MM:SS" (".mmm" added when not whole seconds), binary and OLE as
// lower-case hex, GUIDs as the reader prints them. A table it cannot read (only among the
// system tables) appears as {"name","fehler"}.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

function fehler(text) {
    process.stderr.write(`lesen.mjs: ${text}\n`);
    process.exit(2);
}

const argumente = process.argv.slice(2);
let datei = null;
let tabelle = null;
let passwort;
let system = false;
for (let i = 0; i < argumente.length; i++) {
    const a = argumente[i];
    if (a === "--tabelle" || a === "--passwort") {
        if (i + 1 >= argumente.length) fehler(`${a} braucht einen Wert`);
        if (a === "--tabelle") tabelle = argumente[++i];
        else passwort = argumente[++i];
    } else if (a === "--system") {
        system = true;
    } else if (datei === null) {
        datei = a;
    } else {
        fehler(`unbekanntes Argument ${a}`);
    }
}
if (datei === null) fehler("Aufruf: node lesen.mjs DATEI [--tabelle NAME] [--passwort PW] [--system]");

function zweistellig(n, stellen = 2) {
    return String(n).padStart(stellen, "0");
}

// The reader turns the stored day count into a Date as if it were UTC; print it back the same way.
function datumText(d) {
    if (Number.isNaN(d.getTime())) return "ungültig";
    const jahr = d.getUTCFullYear();
    let text = `${jahr < 0 ? "-" + zweistellig(-jahr, 4) : zweistellig(jahr, 4)}-${zweistellig(d.getUTCMonth() + 1)}-` +
        `${zweistellig(d.getUTCDate())}T${zweistellig(d.getUTCHours())}:${zweistellig(d.getUTCMinutes())}:` +
        `${zweistellig(d.getUTCSeconds())}`;
    if (d.getUTCMilliseconds() !== 0) text += "." + zweistellig(d.getUTCMilliseconds(), 3);
    return text;
}

function wert(v) {
    if (v === null || v === undefined) return null;
    if (typeof v === "bigint") return v.toString();
    if (v instanceof Date) return datumText(v);
    if (Buffer.isBuffer(v)) return v.toString("hex");
    if (typeof v === "number" && !Number.isFinite(v)) return String(v);
    if (Array.isArray(v)) {
        return v.map((a) => ({ name: a.name, typ: a.type, daten: a.data ? a.data.toString("hex") : null }));
    }
    return v;
}

let leser;
try {
    leser = new MDBReader(readFileSync(datei), { password: passwort });
} catch (e) {
    fehler(`kann ${datei} nicht öffnen: ${e.message}`);
}

const namen = tabelle !== null ? [tabelle] : leser.getTableNames({ normalTables: true, systemTables: system });
const ausgabe = { tabellen: [] };
for (const name of namen) {
    let t;
    try {
        t = leser.getTable(name);
    } catch (e) {
        fehler(`keine Tabelle ${name}: ${e.message}`);
    }
    let spalten, zeilen;
    try {
        spalten = t.getColumns();
        zeilen = t.getData().map((zeile) => spalten.map((s) => wert(zeile[s.name])));
    } catch (e) {
        // Some system tables have column types the reader does not know; say so in place.
        if (tabelle !== null) fehler(`kann ${name} nicht lesen: ${e.message}`);
        ausgabe.tabellen.push({ name, fehler: e.message });
        continue;
    }
    ausgabe.tabellen.push({
        name,
        zeilenzahl: t.rowCount,
        spalten: spalten.map((s) => ({ name: s.name, typ: s.type, groesse: s.size })),
        zeilen,
    });
}
process.stdout.write(JSON.stringify(ausgabe) + "\n");
