#include "common/Waiting.h"
#include "common/report/PdfTools.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cctype>
#include <windows.h>

namespace {

constexpr std::chrono::seconds WaitLimit(60);

// Wine's own export: the Unix path of a Windows one, on the process heap; null elsewhere.
std::string UnixPath(const std::string& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) {
        return path;
    }
    char* unix = convert(reinterpret_cast<const wchar_t*>(QString::fromStdString(path).utf16()));
    if (!unix) {
        return path;
    }
    std::string converted(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return converted;
}

bool IsWindowsPath(const std::string& arg) {
    return arg.size() >= 3 && std::isalpha(static_cast<unsigned char>(arg[0])) && arg[1] == ':' &&
           (arg[2] == '\\' || arg[2] == '/');
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// Wine starts a Unix program but hands back neither its output nor its end: a shell runs it,
// writes its output and exit code to files and renames the code's file last, which is waited for.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args) {
    QTemporaryDir scratch;
    const QString output = scratch.filePath("out");
    const QString code = scratch.filePath("code");
    QStringList arguments{
        "-c",
        "out=$1; code=$2; shift 2; \"$@\" >\"$out\" 2>&1; echo $? >\"$code.part\"; "
        "mv \"$code.part\" \"$code\"",
        "sh",
        QString::fromStdString(UnixPath(output.toStdString())),
        QString::fromStdString(UnixPath(code.toStdString())),
        QString::fromStdString(program)};
    for (const std::string& arg : args) {
        arguments << QString::fromStdString(IsWindowsPath(arg) ? UnixPath(arg) : arg);
    }
    if (!QProcess::startDetached("Z:/bin/sh", arguments)) {
        return {-1, program + " cannot be started: the Unix shell is not reachable"};
    }
    if (!WaitUntil([&] { return QFile::exists(code); }, WaitLimit)) {
        return {-1, program + " did not end"};
    }
    const int exitCode = ReadAll(code).trimmed().toInt();
    if (exitCode == 127) {
        return {-1, program + " cannot be started: install it with scripts/install-deps"};
    }
    return {exitCode, ReadAll(output).toStdString()};
}
