#include "DbLog.h"

Q_LOGGING_CATEGORY(lcVexDb, "vex.db", QtInfoMsg)
