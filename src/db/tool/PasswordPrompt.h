#pragma once

#include <QByteArray>
#include <QString>

namespace VexDb {

// A password for vex-db: from the terminal without echo when standard
// input is one (asked twice when `confirm`), else one line of standard
// input. Never from the command line, where other users could see it.
// The bytes as typed, so that their encoding can be checked; false with
// *error when it cannot be read or the two entries differ.
bool readPassword(bool confirm, QByteArray *password, QString *error);

} // namespace VexDb
