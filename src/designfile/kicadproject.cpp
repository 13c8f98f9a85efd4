#include "designfile/kicadproject.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <filesystem>

#include "designfile/designerror.h"

namespace vexlo::designfile {

namespace {

// KiCad writes this uuid for a top-level sheet whose instance paths start with the file's own.
constexpr std::string_view nilUuid = "00000000-0000-0000-0000-000000000000";

QJsonObject projectObject(std::string_view json, const std::string* path) {
    const QByteArray bytes =
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (path != nullptr && error.error != QJsonParseError::NoError) {
        // Qt's offset is just past the character it stopped at.
        failAt(*path, json, static_cast<std::size_t>(std::max(error.offset, 1) - 1),
               "invalid JSON: " + error.errorString().toStdString());
    }
    if (path != nullptr && !document.isObject()) {
        fail(*path, "a KiCad project file holds a JSON object");
    }
    return document.object();
}

std::string text(const QJsonValue& value) {
    return value.toString().toStdString();
}

}  // namespace

bool isKicadProject(std::string_view json) {
    return projectObject(json, nullptr).contains(QLatin1String("meta"));
}

KicadProject readKicadProject(const std::string& path, std::string_view json) {
    const QJsonObject schematic =
        projectObject(json, &path).value(QLatin1String("schematic")).toObject();
    const std::filesystem::path file(path);
    KicadProject project;
    for (const QJsonValue entry : schematic.value(QLatin1String("top_level_sheets")).toArray()) {
        const QJsonObject sheet = entry.toObject();
        const std::string uuid = text(sheet.value(QLatin1String("uuid")));
        project.sheets.push_back(
            {(file.parent_path() / text(sheet.value(QLatin1String("filename")))).string(),
             uuid == nilUuid ? std::string() : uuid, text(sheet.value(QLatin1String("name")))});
    }
    if (project.sheets.empty()) {
        std::filesystem::path root = file;
        root.replace_extension(".kicad_sch");
        project.sheets.push_back({root.string(), "", file.stem().string()});
    }
    const QJsonValue variants = schematic.value(QLatin1String("variants"));
    for (const QJsonValue variant : variants.toArray()) {
        project.variants.push_back(
            text(variant.isObject() ? variant.toObject().value(QLatin1String("name")) : variant));
    }
    return project;
}

KicadProject projectOfSheet(const std::string& sheetPath) {
    std::filesystem::path projectPath(sheetPath);
    projectPath.replace_extension(".kicad_pro");
    KicadProject sheetAlone;
    sheetAlone.sheets.push_back({sheetPath, "", std::filesystem::path(sheetPath).stem().string()});
    std::error_code missing;
    if (!std::filesystem::is_regular_file(projectPath, missing)) {
        return sheetAlone;
    }
    const std::string projectFile = projectPath.string();
    const KicadProject project = readKicadProject(projectFile, readFileBytes(projectFile));
    const std::string name = std::filesystem::path(sheetPath).filename().string();
    for (const TopLevelSheet& sheet : project.sheets) {
        if (std::filesystem::path(sheet.file).filename() == name) {
            sheetAlone.sheets.front().uuid = sheet.uuid;
        }
    }
    sheetAlone.variants = project.variants;
    return sheetAlone;
}

}  // namespace vexlo::designfile
