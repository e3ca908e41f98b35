#include "common/report/PdfTools.h"

#include <QProcess>
#include <QStringList>

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args) {
    QStringList arguments;
    for (const std::string& arg : args) {
        arguments << QString::fromStdString(arg);
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QString::fromStdString(program), arguments);
    if (!process.waitForStarted()) {
        return {-1, program + " cannot be started: install it with scripts/install-deps"};
    }
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAll().toStdString()};
}
