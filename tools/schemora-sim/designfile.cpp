#include "designfile.h"

#include <QDir>
#include <QFile>
#include <vector>

#include "dbus/flatstream.h"
#include "designfile/jsondesign.h"

namespace vexlo::sim {

namespace {

Design served(designfile::LoadedDesign loaded) {
    Design design;
    design.project = std::move(loaded.project);
    if (loaded.document) {
        design.document = designfile::toolDocumentOf(*loaded.document);
    }
    design.componentCount = static_cast<std::uint32_t>(loaded.flattened.components.size());
    design.flatStream = dbus::writeFlatStream(loaded.flattened);
    design.summary = std::move(loaded.summary);
    return design;
}

}  // namespace

Design loadDesignFile(const QString& path, const std::string& variant) {
    return served(designfile::readDesignFile(path.toStdString(), {variant}));
}

Design loadSampleBoard(const QString& root) {
    QFile resource(QStringLiteral(":/sampleboard.json"));
    if (!resource.open(QIODevice::ReadOnly)) {
        throw Error(errc::BadDesignFile, "the built-in sample board is missing");
    }
    const QString base = QDir::cleanPath(QDir(root).absolutePath());
    const QByteArray json = resource.readAll();
    Design design = served(designfile::parseJsonDesign(
        std::string_view(json.constData(), static_cast<std::size_t>(json.size())),
        base.toStdString()));
    design.summary = "the built-in sample board";
    std::vector<std::string> folders{design.project};
    if (design.document) {
        folders.push_back(design.document->path);
    }
    for (const std::string& folder : folders) {
        if (!QDir().mkpath(QString::fromStdString(folder))) {
            throw Error(errc::BadDesignFile,
                        "cannot create the sample board's folder \"" + folder + "\"");
        }
    }
    return design;
}

}  // namespace vexlo::sim
