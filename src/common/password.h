#pragma once
#include <QString>

namespace qm {
// The stored form of an operator password: for the character at position i
// (from 1), k = (i^4 mod (i+30)) + (i^2 mod (i+20)) + 3i + 1 is added to its
// byte value, the low 8 bits kept, and the character written twice. Stored
// data and the front-desk program rely on this form.
QString EncodePassword(const QString& text);
}
