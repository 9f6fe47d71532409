#include "platform/Autostart.h"

#include "core/files/FileStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace tessarine {

namespace {

// Characters that force an argument of Exec into double quotes.
bool IsReserved(QChar c) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// One argument of Exec, before the value is escaped as a string.
QString QuoteExecArgument(const QString& argument) {
    QString out;
    bool needsQuotes = false;
    for (QChar c : argument) {
        if (IsReserved(c))
            needsQuotes = true;
    }
    if (needsQuotes)
        out += QLatin1Char('"');
    for (QChar c : argument) {
        if (needsQuotes && (c == QLatin1Char('"') || c == QLatin1Char('`') ||
                            c == QLatin1Char('$') || c == QLatin1Char('\\')))
            out += QLatin1Char('\\');
        // A literal percent sign would start a field code.
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    if (needsQuotes)
        out += QLatin1Char('"');
    return out;
}

// The escapes of the format's string values, applied to the whole value.
QString EscapeStringValue(const QString& value) {
    QString out;
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

} // namespace

// The program as the autostart entry names it: where it was started from,
// unless PATH finds the very same file under its name (an installed program,
// or a link to it), which keeps the entry working across an upgrade that
// moves the file behind the link.
QString AutostartProgramPath(const QString& programPath) {
    const QFileInfo running(programPath);
    if (!running.isAbsolute() || running.fileName().isEmpty())
        return programPath;
    const QString onPath = QStandardPaths::findExecutable(running.fileName());
    if (onPath.isEmpty() || !QDir::isAbsolutePath(onPath))
        return programPath;
    const QString target = QFileInfo(onPath).canonicalFilePath();
    if (target.isEmpty() || target != running.canonicalFilePath())
        return programPath;
    return QDir::cleanPath(onPath);
}

std::optional<QString> DesktopEntryExec(const QString& programPath) {
    if (programPath.isEmpty())
        return std::nullopt;
    for (QChar c : programPath) {
        const bool escapable =
            c == QLatin1Char('\n') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
        if (c.category() == QChar::Other_Control && !escapable)
            return std::nullopt;
    }
    return EscapeStringValue(QuoteExecArgument(programPath) + QStringLiteral(" /checkandquit"));
}

namespace {

QString AutostartFolder() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base
    // directory rules ask.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = !configHome.isEmpty() && QDir::isAbsolutePath(configHome)
                             ? configHome
                             : QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/autostart"));
}

bool Exists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

QString Autostart::EntryPath() {
    return AutostartFolder() + QStringLiteral("/tessarine.desktop");
}

bool Autostart::IsUsable() const {
    // The folder itself or, when it is missing, the nearest folder above it
    // that exists must be a folder we may create files in.
    QString path = AutostartFolder();
    while (!Exists(path)) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            return false;
        path = parent;
    }
    return QFileInfo(path).isDir() &&
           ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

bool Autostart::IsPresent() const {
    return Exists(EntryPath());
}

bool Autostart::Write(const QString& programPath) {
    const std::optional<QString> exec = DesktopEntryExec(AutostartProgramPath(programPath));
    if (!exec || !QDir().mkpath(AutostartFolder()))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Tessarine\n"
                                        "Icon=com.orvendale.Tessarine\n"
                                        "Exec=%1\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(*exec);
    // Written beside the entry and renamed over it, so that a failed write
    // never leaves a half-written entry behind; an entry that is a link (a
    // dotfiles folder) stays one.
    const QByteArray bytes = text.toUtf8();
    return WriteFileAtomically(QFile::encodeName(EntryPath()).toStdString(),
                               std::string_view(bytes.constData(), bytes.size()));
}

bool Autostart::Remove() {
    const QString path = EntryPath();
    if (!Exists(path))
        return true;
    // unlink() deletes a file or a link but never a folder, which stays and
    // counts as a failure.
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

} // namespace tessarine
