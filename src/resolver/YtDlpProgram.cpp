#include "YtDlpProgram.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace YtDlpProgram {

namespace {

bool IsPythonName(const QString &name)
{
    static const QRegularExpression python(QStringLiteral("^python[0-9.]*$"));
    return python.match(name).hasMatch();
}

const char *const kVersionProbe = R"python(
import importlib.util, os, re, sys, zipfile
program = sys.argv[1]
if zipfile.is_zipfile(program):
    with zipfile.ZipFile(program) as archive:
        text = archive.read('yt_dlp/version.py').decode('utf-8')
else:
    module = importlib.util.find_spec('yt_dlp')
    with open(os.path.join(os.path.dirname(module.origin), 'version.py'), encoding='utf-8') as source:
        text = source.read()
found = re.search(r'^__version__\s*=\s*[\'"]([^\'"]+)[\'"]', text, re.M)
print(found.group(1) if found else '')
)python";

}  // namespace

QString FindOnPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("yt-dlp"));
}

std::variant<YtDlpLaunch, QString> Inspect(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read").arg(path);
    const QByteArray start = file.read(256);
    if (start.startsWith("\x7F"
                         "ELF"))
        return QStringLiteral("%1 is a compiled program (yt-dlp's stand-alone build); the service needs the Python "
                              "one: Debian's package, pip's, or the zipapp of yt-dlp's releases")
            .arg(path);
    if (!start.startsWith("#!"))
        return QStringLiteral("%1 is not a Python program").arg(path);
    const QString line = QString::fromLocal8Bit(start.mid(2, start.indexOf('\n') - 2)).trimmed();
    // Linux hands everything after the interpreter over as one argument.
    const QString interpreter = line.section(QLatin1Char(' '), 0, 0);
    const QString argument = line.section(QLatin1Char(' '), 1).trimmed();
    YtDlpLaunch launch{info.absoluteFilePath(), interpreter, {}};
    const QString name = QFileInfo(interpreter).fileName();
    if (name == QLatin1String("env") && IsPythonName(argument))
        launch.interpreterArguments = {argument};
    else if (!IsPythonName(name))
        return QStringLiteral("%1 is not a Python program (it is run by %2)").arg(path, line);
    return launch;
}

QStringList VersionProbeArguments(const YtDlpLaunch &launch)
{
    return launch.interpreterArguments
        + QStringList{QStringLiteral("-c"), QString::fromUtf8(kVersionProbe), launch.path};
}

QStringList TrialArguments(const YtDlpLaunch &launch)
{
    return launch.interpreterArguments + QStringList{launch.path, QStringLiteral("--version")};
}

QStringList BridgeArguments(const YtDlpLaunch &launch, const QByteArray &config)
{
    return launch.interpreterArguments
        + QStringList{QStringLiteral("-c"), QString::fromUtf8(kBridgeScript), QString::fromUtf8(config)};
}

}  // namespace YtDlpProgram
