#include "shell/ShellLog.h"

Q_LOGGING_CATEGORY(lcShell, "krnotify.shell")
Q_LOGGING_CATEGORY(lcStartupAgent, "krnotify.shell.agent")
