#include "report/RvProject.h"

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "report/RvConnection.h"
#include "report/RvSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <algorithm>
#include <optional>

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A file the project names, relative to the project file's folder.
std::string BesideProject(const std::string& projectFile, const std::string& name) {
    return QFileInfo(QString::fromStdString(projectFile))
        .dir()
        .filePath(QString::fromStdString(name))
        .toStdString();
}

// A project file is a page of text; an image is a logo. Larger files are not what the report
// needs, and reading them would hold up the window and its memory for nothing.
constexpr size_t LargestProjectBytes = 1 << 20;
constexpr size_t LargestImageBytes = 8 << 20;
// A font of many scripts may be large, but not without bound.
constexpr size_t LargestFontBytes = 32 << 20;

std::string MegabytesText(size_t bytes) {
    return std::to_string(bytes >> 20) + " MB";
}

// The whole file when it is at most limit bytes long; nothing, without reading it, when it is
// longer. Throws FileError as ReadFileStart does, also for anything but a plain file.
std::optional<std::string> ReadFileUpTo(const std::string& path, size_t limit) {
    const std::optional<FileStamp> stamp = FileStampOf(path);
    if (stamp && stamp->size > limit) {
        return std::nullopt;
    }
    std::string bytes = ReadFileStart(path, limit + 1);
    if (bytes.size() > limit) {
        return std::nullopt;
    }
    return bytes;
}

std::string ReadProjectBytes(const std::string& path) {
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileUpTo(path, LargestProjectBytes);
    } catch (const FileError& error) {
        if (!FileExists(path) && !DirectoryExists(path)) {
            throw ReportError("Die Berichtsprojektdatei " + Quoted(path) + " fehlt");
        }
        throw ReportError("Die Berichtsprojektdatei " + Quoted(path) +
                          " kann nicht gelesen werden: " + error.what());
    }
    if (!bytes) {
        throw ReportError("Die Berichtsprojektdatei " + Quoted(path) + " ist größer als " +
                          MegabytesText(LargestProjectBytes) + " und wird nicht gelesen");
    }
    return std::move(*bytes);
}

QImage ReadImage(const std::string& projectFile, const std::string& name) {
    const std::string path = BesideProject(projectFile, name);
    const std::string owner = " des Berichtsprojekts " + Quoted(projectFile);
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileUpTo(path, LargestImageBytes);
    } catch (const FileError& error) {
        if (!FileExists(path) && !DirectoryExists(path)) {
            throw ReportError("Das Bild " + Quoted(path) + owner + " fehlt");
        }
        throw ReportError("Das Bild " + Quoted(path) + owner +
                          " kann nicht gelesen werden: " + error.what());
    }
    if (!bytes) {
        throw ReportError("Das Bild " + Quoted(path) + owner + " ist größer als " +
                          MegabytesText(LargestImageBytes) + " und wird nicht gelesen");
    }
    const QImage image = QImage::fromData(
        QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size())), "PNG");
    if (image.isNull()) {
        throw ReportError("Das Bild " + Quoted(path) + owner + " ist kein lesbares PNG-Bild");
    }
    return image.copy();
}

// The font file's bytes; nothing when it is missing, unreadable, no plain file or too large.
std::optional<std::string> ReadFontBytes(const std::string& path) {
    try {
        return ReadFileUpTo(path, LargestFontBytes);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

} // namespace

// What a loaded project keeps for the run; the fonts it registered leave with it.
struct TRvProject::Content {
    ReportProjectData data;
    ReportImages images;
    std::vector<int> fontIds;

    Content() = default;
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;
    ~Content() {
        if (!QCoreApplication::instance()) {
            return;
        }
        for (int id : fontIds) {
            QFontDatabase::removeApplicationFont(id);
        }
    }

    // A font file that is missing or unusable is left out: its texts fall back to another
    // sans-serif font, which the PDF embeds as well. Read by the files layer, which opens no
    // pipe or device, as Qt would.
    void RegisterFonts(const std::string& projectFile) {
        for (const std::string& name : data.fontFiles) {
            const std::optional<std::string> bytes =
                ReadFontBytes(BesideProject(projectFile, name));
            if (!bytes) {
                continue;
            }
            const int id = QFontDatabase::addApplicationFontFromData(
                QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())));
            if (id >= 0) {
                fontIds.push_back(id);
            }
        }
    }
};

TRvProject::TRvProject() = default;
TRvProject::~TRvProject() = default;

void TRvProject::SetProjectFile(const std::string& path) {
    if (path == projectFile_) {
        return;
    }
    projectFile_ = path;
    selected_ = nullptr;
    content_.reset();
}

bool TRvProject::Loaded() const {
    return content_ != nullptr;
}

void TRvProject::AddConnection(TRvCustomConnection& connection) {
    connections_.push_back(&connection);
}

std::unique_ptr<TRvProject::Content> TRvProject::Load() const {
    if (projectFile_.empty()) {
        throw ReportError("Es ist keine Berichtsprojektdatei festgelegt");
    }
    auto content = std::make_unique<Content>();
    try {
        content->data = ParseReportProject(ReadProjectBytes(projectFile_));
    } catch (const ProjectFormatError& error) {
        throw ReportError("Die Berichtsprojektdatei " + Quoted(projectFile_) +
                          " ist fehlerhaft: " + error.what());
    }
    for (const std::string& name : content->data.ImageFiles()) {
        content->images[name] = ReadImage(projectFile_, name);
    }
    content->RegisterFonts(projectFile_);
    return content;
}

bool TRvProject::SelectReport(const std::string& name) {
    if (!content_) {
        content_ = Load();
    }
    selected_ = content_->data.FindReport(name);
    return selected_ != nullptr;
}

void TRvProject::SetParam(const std::string& name, const std::string& value) {
    params_[name] = value;
}

void TRvProject::ClearParams() {
    params_.clear();
}

void TRvProject::Execute() {
    if (!selected_) {
        throw ReportError("Es ist kein Bericht ausgewählt");
    }
    if (!Engine) {
        throw ReportError("Bericht " + Quoted(selected_->name) +
                          ": es ist kein Ausgabesystem "
                          "angegeben");
    }
    TRvCustomConnection* connection = nullptr;
    if (!selected_->connection.empty()) {
        const auto found = std::find_if(connections_.begin(), connections_.end(),
                                        [&](const TRvCustomConnection* candidate) {
                                            return candidate->Name() == selected_->connection;
                                        });
        if (found == connections_.end()) {
            throw ReportError("Bericht " + Quoted(selected_->name) + ": die Datenverbindung " +
                              Quoted(selected_->connection) + " gibt es im Programm nicht");
        }
        connection = *found;
    }
    Engine->Execute({selected_, connection, &params_, &content_->images});
}
