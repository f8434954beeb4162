#include "JsRuntime.h"

#include "ChildRun.h"

#include <QStandardPaths>

namespace {

constexpr int kOldestNode = 20;

// "v20.20.2" of node --version, when it is that new.
QString NodeVersion(const QString &path)
{
    const ChildRun::Result result = ChildRun::RunNow({path, {QStringLiteral("--version")}, {}, 5000});
    const QString version = QString::fromLatin1(result.output.trimmed()).remove(QLatin1Char('v'));
    if (!result.exited || result.exitCode != 0 || version.section(QLatin1Char('.'), 0, 0).toInt() < kOldestNode)
        return QString();
    return version;
}

}  // namespace

JsRuntime JsRuntime::Find()
{
    const struct {
        const char *name;
        const char *program;
    } known[]{{"deno", "deno"}, {"node", "node"}, {"quickjs", "qjs"}, {"bun", "bun"}};
    for (const auto &runtime : known) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(runtime.program));
        if (path.isEmpty())
            continue;
        const QString name = QString::fromLatin1(runtime.name);
        if (name != QLatin1String("node"))
            return {name, path, QString()};
        const QString version = NodeVersion(path);
        if (!version.isEmpty())
            return {name, path, version};
    }
    return {};
}

QString JsRuntime::Describe() const
{
    if (name.isEmpty())
        return QStringLiteral("no JavaScript runtime for yt-dlp (deno, node 20 or later, quickjs or bun on PATH): "
                              "on sites that set it scripts to solve, such as YouTube, yt-dlp finds fewer videos "
                              "or none");
    return QStringLiteral("JavaScript runtime for yt-dlp: %1%2 (%3)")
        .arg(name, version.isEmpty() ? QString() : QLatin1Char(' ') + version, path);
}

QJsonObject JsRuntime::ForYtDlp() const
{
    if (name.isEmpty())
        return {};
    return {{name, QJsonObject{{"path", path}}}};
}
