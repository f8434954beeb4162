#include "ChildProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace ChildProcess {

void PrepareChild(QProcess &process, int outputDescriptor)
{
    // Runs in the child between fork and exec: system calls only.
    process.setChildProcessModifier([outputDescriptor] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (outputDescriptor >= 0)
            ::dup2(outputDescriptor, STDOUT_FILENO);
    });
    process.setProcessEnvironment(CleanEnvironment());
}

QProcessEnvironment CleanEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : environment.keys()) {
        const QString lower = name.toLower();
        if (lower.endsWith(QLatin1String("_proxy")) || name.startsWith(QLatin1String("PYTHON")))
            environment.remove(name);
    }
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

void KillGroup(QProcess &process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.kill();
}

}  // namespace ChildProcess
