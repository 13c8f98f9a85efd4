#include "designfile/jsondesign.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>
#include <initializer_list>
#include <vector>

namespace vexlo::designfile {

namespace {

using design::Attribute;
using design::AttributeView;

// Where in the file a value sits, as "components[3].attributes[1]".
QString member(const QString& where, const QString& key) {
    return where.isEmpty() ? key : where + QLatin1Char('.') + key;
}

QString element(const QString& where, qsizetype index) {
    return where + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

[[noreturn]] void failIn(const QString& where, const QString& problem) {
    throw Error(errc::BadDesignFile, problem.toStdString(), where.toStdString());
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
            failIn(where, QLatin1String("unknown key \"") + it.key() + QLatin1Char('"'));
        }
    }
}

std::string text(const QJsonObject& object, const char* key, const QString& where) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isString()) {
        failIn(member(where, QLatin1String(key)), QStringLiteral("expected a string"));
    }
    return value.toString().toStdString();
}

std::string resolve(const std::string& path, const std::string& baseFolder) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    std::string prefix = baseFolder;
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    return prefix + path;
}

std::vector<AttributeView> views(const std::vector<Attribute>& pairs) {
    std::vector<AttributeView> result;
    result.reserve(pairs.size());
    for (const Attribute& pair : pairs) {
        result.push_back({pair.Name, pair.Value});
    }
    return result;
}

std::vector<Attribute> pairs(const QJsonObject& component, const char* key, const QString& where) {
    const QJsonValue value = component.value(QLatin1String(key));
    const QString at = member(where, QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isArray()) {
        failIn(at, QStringLiteral("expected a list of [name, value] pairs"));
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
            failIn(element(at, index), QStringLiteral("expected a [name, value] pair of strings"));
        }
        result.push_back(Attribute{name.toString().toStdString(), text.toString().toStdString()});
        ++index;
    }
    return result;
}

void addComponents(const QJsonObject& root, design::FlattenedDesign& design) {
    const QJsonValue value = root.value(QLatin1String("components"));
    if (value.isUndefined()) {
        return;
    }
    if (!value.isArray()) {
        failIn(QStringLiteral("components"), QStringLiteral("expected a list of components"));
    }
    const QJsonArray components = value.toArray();
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QString where = element(QStringLiteral("components"), i);
        if (!components.at(i).isObject()) {
            failIn(where, QStringLiteral("expected a component object"));
        }
        const QJsonObject component = components.at(i).toObject();
        checkKeys(component, where, {"refdes", "oats", "attributes", "symbol"});
        const std::string refdes = text(component, "refdes", where);
        const auto oats = pairs(component, "oats", where);
        const auto attributes = pairs(component, "attributes", where);
        const auto symbol = pairs(component, "symbol", where);
        design.add(refdes, views(oats), views(attributes), views(symbol));
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

LoadedDesign parseJsonDesign(std::string_view bytes, const std::string& baseFolder) {
    const QByteArray json =
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QJsonParseError parseError;
    QJsonObject root;
    {
        // Scoped so that the parsed document is freed before the components are built.
        const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
        if (parseError.error != QJsonParseError::NoError) {
            failIn(QString(),
                   QStringLiteral("invalid JSON near %1: %2")
                       .arg(position(json, parseError.offset), parseError.errorString()));
        }
        if (!document.isObject()) {
            failIn(QString(), QStringLiteral("expected a JSON object at the top"));
        }
        root = document.object();
    }
    checkKeys(root, QString(), {"project", "document", "components"});

    LoadedDesign design;
    design.project = resolve(text(root, "project", QString()), baseFolder);
    const QJsonValue document = root.value(QLatin1String("document"));
    if (!document.isUndefined()) {
        if (!document.isObject()) {
            failIn(QStringLiteral("document"), QStringLiteral("expected an object"));
        }
        const QJsonObject object = document.toObject();
        const QString where = QStringLiteral("document");
        checkKeys(object, where, {"name", "path"});
        // As the schematic tool would answer: the reports' names follow by its naming rules.
        design.document = design::ToolDocument{text(object, "name", where),
                                               resolve(text(object, "path", where), baseFolder)};
    }
    addComponents(root, design.flattened);
    design.summary = "JSON design";
    return design;
}

}  // namespace vexlo::designfile
