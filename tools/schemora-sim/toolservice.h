#pragma once

#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

#include "designfile.h"

namespace vexlo::sim {

// The tool's automation object at /Quillion/Application: the members the client calls, each
// answered from the loaded design. Members that need an open document fail with
// Quillion.Error.NoActiveDocument when the design has none.
class ToolService final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Quillion.Application")

public:
    explicit ToolService(Design design, QObject* parent = nullptr);

public slots:
    QString CurrentProject();
    QString ActiveViewDocumentName();
    QString ActiveDocumentPath();
    // LoadGroup with the design name, then Flatten: a sealed memory file holding the flattened
    // design as one stream.
    QDBusUnixFileDescriptor LoadGroupFlatten(const QString& designName);

private:
    bool hasDocument(const char* what);

    Design design_;
};

}  // namespace vexlo::sim
