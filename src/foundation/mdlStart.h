#pragma once
// Start-up and shutdown of the program: the random generator, the field-type
// model, the engine's workspace and the registry key.
#include <cstdint>

// Called first when the main window loads. False when the engine's workspace
// could not be created: the user has been told in an error box and the program
// has to end, since nothing works without it.
[[nodiscard]] bool ProgrammInitialisieren();

// The workspace of the given type (2, Jet) for "Admin" with an empty password,
// into gArbeitsbereich; on failure the error box announcing the end, and false.
[[nodiscard]] bool ArbeitsbereichErstellen(int32_t Typ = 2);

// Called when the main window unloads outside a running operation: closes the
// open database, then the workspace. False when the database's write-back failed
// and the user kept it open (DatenbankSchließen): the workspace stays too, so that
// nothing is lost and the program must not end.
bool ArbeitsbereichSchließen();
