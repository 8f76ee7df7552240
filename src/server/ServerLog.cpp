#include "ServerLog.h"

Q_LOGGING_CATEGORY(lcServer, "vex.appserver", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCall, "vex.appserver.call", QtInfoMsg)
