#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace VexDb {

// Numbered migrations, append-only: version N's statements never change
// once released. Each runs in its own transaction and is recorded in
// SCHEMA_VERSION, so migrating is idempotent and resumes after a failure.
namespace Schema {

int currentVersion();

// Version recorded in the database: 0 for an empty database, -1 with
// *error on failure.
int version(QSqlDatabase &db, QString *error);

// Brings the database up to currentVersion().
bool migrate(QSqlDatabase &db, QString *error);

// Brings the database up to target (<= currentVersion()); never downgrades.
bool migrateTo(QSqlDatabase &db, int target, QString *error);

// Tables holding business rows, parents first.
QStringList dataTables();

} // namespace Schema
} // namespace VexDb
