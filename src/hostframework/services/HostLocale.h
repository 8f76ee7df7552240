#pragma once

class QCoreApplication;

// The application speaks Brazilian Portuguese whatever the system's
// language: numbers and dates (QLocale's default) and Qt's own texts
// ("Cancelar", "Sim"), from Qt's translations as the system installed them.
namespace HostLocale {
// False, with a warning in the log, when Qt's translations are missing:
// Qt's texts then stay in English.
bool install(QCoreApplication *app);
} // namespace HostLocale
