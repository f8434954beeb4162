#include "ChildProcess.h"

#include "SealedNetwork.h"

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace ChildProcess {

void PrepareChild(QProcess &process, const Confinement &confinement)
{
    // Runs in the child between fork and exec: system calls only.
    process.setChildProcessModifier([confinement] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (confinement.outputDescriptor >= 0)
            ::dup2(confinement.outputDescriptor, STDOUT_FILENO);
        if (confinement.network && !confinement.network->Enter())
            ::_exit(kNotConfinedExit);
        if (confinement.memoryLimit > 0) {
            const rlimit limit{rlim_t(confinement.memoryLimit), rlim_t(confinement.memoryLimit)};
            if (::setrlimit(RLIMIT_DATA, &limit) != 0)
                ::_exit(kNotConfinedExit);
        }
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
