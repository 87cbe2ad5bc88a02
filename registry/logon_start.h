// Starting the program when the user logs on to Windows: the value "Sitewake" under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, holding the program's full
// path in double quotes. Another copy of the program (another folder) may have put its own path
// there: that value does not count as this copy's, and this copy never removes it.
#pragma once

// Whether the value is there and names this copy of the program.
bool StartsAtLogon();
// on: makes the value name this copy (in place of any other copy's); off: removes the value
// when it names this copy, and leaves another copy's alone. False when the registry refused.
bool SetStartAtLogon(bool on);
