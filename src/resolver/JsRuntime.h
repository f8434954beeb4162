#pragma once

#include <QJsonObject>
#include <QString>

// The JavaScript runtime yt-dlp (from late 2025 on) needs to solve the scripts some sites set before they give
// their formats (YouTube's, for one). yt-dlp enables only deno of its own accord; the service looks on PATH for
// the runtimes it can use, in yt-dlp's order of preference, and names the first it finds to it.
struct JsRuntime {
    QString name;  // yt-dlp's name for it: deno, node, quickjs, bun; empty when none was found
    QString path;
    QString version;  // when known

    // On PATH: deno, node 20 or later (Debian 12's 18 is too old for yt-dlp), qjs (QuickJS), bun.
    static JsRuntime Find();
    // What the start-up line says about it.
    QString Describe() const;
    // yt-dlp's js_runtimes parameter: {"node": {"path": "/usr/bin/node"}}, or empty for none.
    QJsonObject ForYtDlp() const;
};
