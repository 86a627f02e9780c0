#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcShell)
// The startup-agent client; its lines begin "[TavStartupAgentLib]".
Q_DECLARE_LOGGING_CATEGORY(lcStartupAgent)
