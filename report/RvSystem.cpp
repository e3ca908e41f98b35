#include "report/RvSystem.h"

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "report/RvRenderPDF.h"

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

void TRvSystem::Execute(const ReportJob& job) {
    const std::string report = "Bericht " + Quoted(job.report->name) + ": ";
    if (DoNativeOutput || !RenderObject) {
        throw ReportError(report + "es ist kein Ausgabeformat gewählt");
    }
    if (OutputFileName.empty()) {
        throw ReportError(report + "es ist keine Ausgabedatei angegeben");
    }
    if ((SystemSetups & ssAllowSetup) || (SystemOptions & soShowStatus)) {
        throw ReportError(report + "ein Bericht wird ohne Einrichtungsdialog und Statusfenster "
                                   "erzeugt");
    }
    std::vector<TRvField> fields;
    std::vector<TRvRow> rows{TRvRow{}};
    if (job.connection) {
        rows = job.connection->ReadRows();
        fields = job.connection->Fields();
    }
    const FilledDocument document = FillReport(*job.report, fields, rows, *job.params, *job.images);
    const std::string pdf = RenderObject->Render(document);
    try {
        WriteFileInOnePiece(OutputFileName, pdf);
    } catch (const FileError& error) {
        throw ReportError("Der Bericht " + Quoted(job.report->name) + " wurde nicht gespeichert. " +
                          error.what());
    }
}
