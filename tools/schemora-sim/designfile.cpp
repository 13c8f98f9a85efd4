#include "designfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>
#include <initializer_list>
#include <vector>

#include "design/dbus/flatstream.h"
#include "design/schematictool.h"

namespace vexlo::sim {

namespace {

using design::Attribute;

// Where in the file a value sits, as "components[3].attributes[1]".
QString member(const QString& where, const QString& key) {
    return where.isEmpty() ? key : where + QLatin1Char('.') + key;
}

QString element(const QString& where, qsizetype index) {
    return where + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

[[noreturn]] void fail(const QString& where, const QString& problem) {
    throw DesignError(
        (where.isEmpty() ? problem : where + QLatin1String(": ") + problem).toStdString());
}

// Refuses keys the format does not have: a misspelt key must not quietly empty a design.
void checkKeys(const QJsonObject& object, const QString& where,
               std::initializer_list<const char*> known) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool isKnown = false;
        for (const char* key : known) {
            isKnown = isKnown || it.key() == QLatin1String(key);
        }
        if (!isKnown) {
            fail(where, QLatin1String("unknown key \"") + it.key() + QLatin1Char('"'));
        }
    }
}

std::string text(const QJsonObject& object, const char* key, const QString& where) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isString()) {
        fail(member(where, QLatin1String(key)), QStringLiteral("expected a string"));
    }
    return value.toString().toStdString();
}

std::string resolve(const std::string& path, const QString& baseFolder) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    std::string prefix = baseFolder.toStdString();
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    return prefix + path;
}

std::vector<Attribute> pairs(const QJsonObject& component, const char* key, const QString& where) {
    const QJsonValue value = component.value(QLatin1String(key));
    const QString at = member(where, QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isArray()) {
        fail(at, QStringLiteral("expected a list of [name, value] pairs"));
    }
    const QJsonArray list = value.toArray();
    std::vector<Attribute> result;
    result.reserve(static_cast<std::size_t>(list.size()));
    qsizetype index = 0;
    for (const QJsonValue item : list) {
        const QJsonArray pair = item.toArray();
        const QJsonValue name = pair.size() == 2 ? pair.at(0) : QJsonValue();
        const QJsonValue text = pair.size() == 2 ? pair.at(1) : QJsonValue();
        if (!name.isString() || !text.isString()) {
            fail(element(at, index), QStringLiteral("expected a [name, value] pair of strings"));
        }
        result.push_back(Attribute{name.toString().toStdString(), text.toString().toStdString()});
        ++index;
    }
    return result;
}

void addComponents(const QJsonObject& root, design::dbus::FlatStreamWriter& writer) {
    const QJsonValue value = root.value(QLatin1String("components"));
    if (value.isUndefined()) {
        return;
    }
    if (!value.isArray()) {
        fail(QStringLiteral("components"), QStringLiteral("expected a list of components"));
    }
    const QJsonArray components = value.toArray();
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QString where = element(QStringLiteral("components"), i);
        if (!components.at(i).isObject()) {
            fail(where, QStringLiteral("expected a component object"));
        }
        const QJsonObject component = components.at(i).toObject();
        checkKeys(component, where, {"refdes", "oats", "attributes", "symbol"});
        writer.addComponent(text(component, "refdes", where), pairs(component, "oats", where),
                            pairs(component, "attributes", where),
                            pairs(component, "symbol", where));
    }
}

// "line L, column C" of a byte offset, for parse errors a person can find.
QString position(const QByteArray& json, qsizetype offset) {
    const QByteArray before = json.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return QStringLiteral("line %1, column %2")
        .arg(before.count('\n') + 1)
        .arg(offset - lineStart + 1);
}

}  // namespace

Design parseDesign(const QByteArray& json, const QString& baseFolder) {
    QJsonParseError parseError;
    QJsonObject root;
    {
        // Scoped so that the parsed document is freed before the stream is kept.
        const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
        if (parseError.error != QJsonParseError::NoError) {
            fail(QString(), QStringLiteral("invalid JSON near %1: %2")
                                .arg(position(json, parseError.offset), parseError.errorString()));
        }
        if (!document.isObject()) {
            fail(QString(), QStringLiteral("expected a JSON object at the top"));
        }
        root = document.object();
    }
    checkKeys(root, QString(), {"project", "document", "components"});

    Design design;
    design.project = resolve(text(root, "project", QString()), baseFolder);
    const QJsonValue document = root.value(QLatin1String("document"));
    if (!document.isUndefined()) {
        if (!document.isObject()) {
            fail(QStringLiteral("document"), QStringLiteral("expected an object"));
        }
        const QJsonObject object = document.toObject();
        const QString where = QStringLiteral("document");
        checkKeys(object, where, {"name", "path"});
        design.document =
            Document{text(object, "name", where), resolve(text(object, "path", where), baseFolder)};
    }
    design::dbus::FlatStreamWriter writer;
    addComponents(root, writer);
    design.componentCount = writer.componentCount();
    design.flatStream = writer.finish();
    return design;
}

Design loadDesignFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QString(),
             QStringLiteral("cannot read design file \"%1\": %2").arg(path, file.errorString()));
    }
    const QByteArray json = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(QString(),
             QStringLiteral("cannot read design file \"%1\": %2").arg(path, file.errorString()));
    }
    try {
        return parseDesign(json, QDir::cleanPath(QFileInfo(path).absolutePath()));
    } catch (const DesignError& error) {
        fail(path, QString::fromStdString(error.what()));
    }
}

Design loadSampleBoard(const QString& root) {
    QFile resource(QStringLiteral(":/sampleboard.json"));
    if (!resource.open(QIODevice::ReadOnly)) {
        fail(QString(), QStringLiteral("the built-in sample board is missing"));
    }
    const QString base = QDir::cleanPath(QDir(root).absolutePath());
    Design design = parseDesign(resource.readAll(), base);
    std::vector<std::string> folders{design.project};
    if (design.document) {
        folders.push_back(design.document->path);
    }
    for (const std::string& folder : folders) {
        if (!QDir().mkpath(QString::fromStdString(folder))) {
            fail(QString(), QStringLiteral("cannot create the sample board's folder \"%1\"")
                                .arg(QString::fromStdString(folder)));
        }
    }
    return design;
}

}  // namespace vexlo::sim
