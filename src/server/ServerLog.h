#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcServer) // start, stop, connections
Q_DECLARE_LOGGING_CATEGORY(lcCall)   // one line per failed call; timing at debug
