#pragma once
// The program-wide state of the core (foundation, search, operations) back to its
// start values. It lives with the operations since only this layer sees all three;
// each layer below keeps its file statics to itself and offers a reset for them.

// Every global and file static of the core to the value it has at program start.
// Called once at start-up, before anything reads the state, and by the test
// fixtures before each test. Open objects (workspace, database, recordsets) are
// dropped, not closed: closing with write-back is ArbeitsbereichSchließen's job.
// Not reset: the window's controls, the window set by OberflächeSetzen, the
// program folder and the registry file, which belong to whoever sets them.
void ProgrammzustandZurücksetzen();
